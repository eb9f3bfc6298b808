#include "framework/paint_dc.h"

#include "framework/wnd.h"

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window != nullptr ? window->GetSafeHwnd() : nullptr) {
    if (m_hWnd != nullptr) {
        HoldLentDc(::BeginPaint(m_hWnd, &m_ps));
    }
}

CPaintDC::~CPaintDC() {
    if (Detach() != nullptr) {
        ::EndPaint(m_hWnd, &m_ps);
    }
}
