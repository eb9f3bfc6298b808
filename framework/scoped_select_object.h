// Selects a GDI object into a DC for one scope and puts the previous one back at its end, so
// no DC is ever released or deleted with our object still selected. A null object selects
// nothing.
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

// How a palette is selected: as the window's foreground palette, or forced into the
// background.
enum class PaletteMode { kForeground, kBackground };

// The palette flavour: palettes are selected with SelectPalette, not SelectObject. The
// previous palette goes back in the mode `restore`.
class ScopedSelectPalette {
public:
    ScopedSelectPalette(HDC dc, HPALETTE palette, PaletteMode select, PaletteMode restore)
        : dc_(dc),
          restoreInBackground_(restore == PaletteMode::kBackground),
          previous_(palette != nullptr
                        ? ::SelectPalette(dc, palette, select == PaletteMode::kBackground)
                        : nullptr) {}
    ~ScopedSelectPalette() {
        if (previous_ != nullptr) {
            ::SelectPalette(dc_, previous_, restoreInBackground_);
        }
    }
    ScopedSelectPalette(const ScopedSelectPalette&) = delete;
    ScopedSelectPalette& operator=(const ScopedSelectPalette&) = delete;

private:
    HDC dc_;
    BOOL restoreInBackground_;
    HPALETTE previous_;
};
