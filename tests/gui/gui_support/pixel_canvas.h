// A 32-bit memory DC whose pixels tests can read and write directly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "framework/dc.h"
#include "framework/scoped_select_object.h"
#include "framework/unique_handle.h"

class PixelCanvas {
public:
    PixelCanvas(int width, int height);
    PixelCanvas(const PixelCanvas&) = delete;
    PixelCanvas& operator=(const PixelCanvas&) = delete;

    CDC& dc() { return dc_; }
    HDC hdc() const { return dc_.GetSafeHdc(); }
    int width() const { return width_; }
    int height() const { return height_; }

    void Fill(COLORREF colour);
    COLORREF At(int x, int y) const;
    // Copies `width` x `height` pixels of `source` from (x, y) to the canvas's origin.
    bool CopyFrom(HDC source, int x, int y);

private:
    int width_;
    int height_;
    CDC dc_;
    UniqueGdiObject bitmap_;
    std::optional<ScopedSelectObject> selection_;  // leaves the DC before the bitmap goes
    uint32_t* bits_ = nullptr;
};

// Whether each channel of `a` and `b` differs by at most `tolerance`.
bool ColoursNear(COLORREF a, COLORREF b, int tolerance);
