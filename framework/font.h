// A GDI font.
#pragma once

#include "framework/gdi_object.h"

class CDC;

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTA* logFont);
    // `pointSize` in tenths of a point, converted for `dc` (the screen when null).
    BOOL CreatePointFont(int pointSize, const char* faceName, CDC* dc = nullptr);
    BOOL CreatePointFontIndirect(const LOGFONTA* logFont, CDC* dc = nullptr);
    int GetLogFont(LOGFONTA* logFont) const;

    operator HFONT() const { return static_cast<HFONT>(GetSafeHandle()); }  // NOLINT: implicit
};
