#include "framework/paint_dc.h"

#include "framework/wnd.h"

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window != nullptr ? window->GetSafeHwnd() : nullptr) {
    m_hDC = m_hWnd != nullptr ? ::BeginPaint(m_hWnd, &m_ps) : nullptr;
}

CPaintDC::~CPaintDC() {
    if (m_hDC != nullptr) {
        ::EndPaint(m_hWnd, &m_ps);
        m_hDC = nullptr;
    }
}
