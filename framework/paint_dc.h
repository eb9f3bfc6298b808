// The DC of one WM_PAINT: BeginPaint on construction, EndPaint on destruction.
#pragma once

#include "framework/dc.h"

class CWnd;

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};
