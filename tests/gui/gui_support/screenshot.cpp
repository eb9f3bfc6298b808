#include "tests/gui/gui_support/screenshot.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "tests/gui/gui_support/pixel_canvas.h"

namespace corvane::test {

std::string ArtifactsDirectory() {
    std::string directory = CORVANE_ARTIFACTS_DIR;
    if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') {
        directory += '/';
    }
    ::CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

namespace {

// Writes the canvas's pixels as a bottom-up 24-bit BMP file.
bool SaveCanvas(const PixelCanvas& canvas, const std::string& path) {
    const int width = canvas.width();
    const int height = canvas.height();
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels.data() + static_cast<size_t>(height - 1 - y) * rowBytes;  // bottom-up
        for (int x = 0; x < width; ++x) {
            const COLORREF c = canvas.At(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(pixels.size());
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
    out.close();
    return out.good();
}

}  // namespace

bool SaveWindowScreenshot(HWND window, const std::string& path) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    RECT area{};
    if (!::GetWindowRect(window, &area) || area.right <= area.left || area.bottom <= area.top) {
        return false;
    }
    // Read from the window's own DC: under Wine the screen may not show yet what was just
    // painted, and a picture would miss some of the controls.
    PixelCanvas canvas(area.right - area.left, area.bottom - area.top);
    HDC dc = ::GetWindowDC(window);
    const bool copied = canvas.CopyFrom(dc, 0, 0);
    ::ReleaseDC(window, dc);
    return copied && SaveCanvas(canvas, path);
}

}  // namespace corvane::test
