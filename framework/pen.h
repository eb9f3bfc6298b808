// A GDI pen.
#pragma once

#include "framework/gdi_object.h"

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }

    BOOL CreatePen(int style, int width, COLORREF colour) {
        return Attach(::CreatePen(style, width, colour));
    }

    operator HPEN() const { return static_cast<HPEN>(GetSafeHandle()); }  // NOLINT: implicit
};
