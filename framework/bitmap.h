// A GDI (device-dependent) bitmap.
#pragma once

#include "framework/gdi_object.h"

class CDC;

class CBitmap : public CGdiObject {
public:
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    // From a bitmap resource of the program's own module.
    BOOL LoadBitmap(UINT resourceId);
    int GetBitmap(BITMAP* description) const { return GetObject(sizeof(BITMAP), description); }

    operator HBITMAP() const { return static_cast<HBITMAP>(GetSafeHandle()); }  // NOLINT: implicit
};
