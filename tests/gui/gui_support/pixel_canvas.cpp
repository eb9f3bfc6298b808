#include "tests/gui/gui_support/pixel_canvas.h"

#include <cstdlib>

PixelCanvas::PixelCanvas(int width, int height) : width_(width), height_(height) {
    dc_.CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row y at bits_ + y * width
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<uint32_t*>(bits);
    selection_.emplace(dc_, bitmap_.get());
}

void PixelCanvas::Fill(COLORREF colour) {
    ::GdiFlush();
    const uint32_t pixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int i = 0; i < width_ * height_; ++i) {
        bits_[i] = pixel;
    }
}

COLORREF PixelCanvas::At(int x, int y) const {
    ::GdiFlush();
    const uint32_t p = bits_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool PixelCanvas::CopyFrom(HDC source, int x, int y) {
    return ::BitBlt(dc_.GetSafeHdc(), 0, 0, width_, height_, source, x, y, SRCCOPY) != FALSE;
}

bool ColoursNear(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}
