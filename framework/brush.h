// A GDI brush.
#pragma once

#include "framework/gdi_object.h"

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }

    BOOL CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }
    BOOL CreateSysColorBrush(int index) { return Attach(::CreateSolidBrush(::GetSysColor(index))); }

    operator HBRUSH() const { return static_cast<HBRUSH>(GetSafeHandle()); }  // NOLINT: implicit
};
