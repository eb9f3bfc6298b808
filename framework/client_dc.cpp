#include "framework/client_dc.h"

#include "framework/wnd.h"

CClientDC::CClientDC(CWnd* window)
    : CClientDC(window != nullptr ? window->GetSafeHwnd() : static_cast<HWND>(nullptr)) {}

CClientDC::CClientDC(HWND window) : CDC(::GetDC(window)), m_hWnd(window) {}

CClientDC::~CClientDC() {
    if (HDC dc = Detach(); dc != nullptr) {
        ::ReleaseDC(m_hWnd, dc);
    }
}
