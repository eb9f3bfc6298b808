#include "framework/client_dc.h"

#include "framework/wnd.h"

CClientDC::CClientDC(CWnd* window)
    : CClientDC(window != nullptr ? window->GetSafeHwnd() : static_cast<HWND>(nullptr)) {}

CClientDC::CClientDC(HWND window) : m_hWnd(window) {
    m_hDC = ::GetDC(m_hWnd);
}

CClientDC::~CClientDC() {
    if (m_hDC != nullptr) {
        ::ReleaseDC(m_hWnd, m_hDC);
        m_hDC = nullptr;
    }
}
