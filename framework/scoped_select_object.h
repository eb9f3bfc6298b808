// Selects a GDI object into a DC for one scope and puts the previous one back at its end, so
// no DC is ever released or deleted with our object still selected.
#pragma once

#include <windows.h>

class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
    ~ScopedSelectObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            ::SelectObject(dc_, previous_);
        }
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The palette flavour: palettes are selected with SelectPalette, not SelectObject.
class ScopedSelectPalette {
public:
    ScopedSelectPalette(HDC dc, HPALETTE palette, bool forceBackground)
        : dc_(dc),
          previous_(palette != nullptr ? ::SelectPalette(dc, palette, forceBackground) : nullptr) {}
    ~ScopedSelectPalette() {
        if (previous_ != nullptr) {
            ::SelectPalette(dc_, previous_, TRUE);
        }
    }
    ScopedSelectPalette(const ScopedSelectPalette&) = delete;
    ScopedSelectPalette& operator=(const ScopedSelectPalette&) = delete;

private:
    HDC dc_;
    HPALETTE previous_;
};
