#include "tests/gui/gui_support/screenshot.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace corvane::test {

std::string ArtifactsDirectory() {
    std::string directory = CORVANE_ARTIFACTS_DIR;
    if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') {
        directory += '/';
    }
    ::CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

bool SaveWindowScreenshot(HWND window, const std::string& path) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    RECT area{};
    if (!::GetWindowRect(window, &area)) {
        return false;
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }

    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ok = ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
        ::GdiFlush();
        ::SelectObject(memory, previous);
    }
    if (ok) {
        const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
        const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + pixelBytes;
        info.bmiHeader.biSizeImage = pixelBytes;
        FILE* out = std::fopen(path.c_str(), "wb");
        ok = out != nullptr;
        if (ok) {
            ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                 std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out) == 1 &&
                 std::fwrite(bits, 1, pixelBytes, out) == pixelBytes;
            ok = std::fclose(out) == 0 && ok;
        }
    }
    if (bitmap != nullptr) {
        ::DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        ::DeleteDC(memory);
    }
    ::ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace corvane::test
