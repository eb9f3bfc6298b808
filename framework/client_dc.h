// A window's client-area DC (the screen's when the window is null), lent by the window
// system and given back on destruction.
#pragma once

#include "framework/dc.h"

class CWnd;

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window);
    explicit CClientDC(HWND window);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};
