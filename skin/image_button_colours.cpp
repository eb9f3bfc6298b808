// The image button's colour arithmetic: the grey and darkened copies of a picture.
#include "skin/image_button.h"

#include <algorithm>
#include <cmath>

#include "framework/client_dc.h"
#include "framework/memory_dc.h"
#include "framework/scoped_select_object.h"

namespace {

// Visits every pixel of `source` row by row and writes `convert` of it into a new
// screen-compatible bitmap; key pixels pass unchanged. Null when a DC or the bitmap fails.
template <typename Convert>
HBITMAP ConvertImage(HBITMAP source, DWORD width, DWORD height, Convert convert) {
    CClientDC screen(static_cast<HWND>(nullptr));
    if (screen.GetSafeHdc() == nullptr || source == nullptr) {
        return nullptr;
    }
    CMemoryDC from(&screen);
    CMemoryDC to(&screen);
    if (from.GetSafeHdc() == nullptr || to.GetSafeHdc() == nullptr) {
        return nullptr;
    }
    UniqueGdiObject copy(
        ::CreateCompatibleBitmap(screen, static_cast<int>(width), static_cast<int>(height)));
    if (!copy) {
        return nullptr;
    }
    {
        ScopedSelectObject selectSource(from, source);
        ScopedSelectObject selectCopy(to, copy.get());
        for (int y = 0; y < static_cast<int>(height); ++y) {
            for (int x = 0; x < static_cast<int>(width); ++x) {
                const COLORREF pixel = from.GetPixel(x, y);
                to.SetPixel(x, y, pixel == IMAGE_KEY_COLOUR ? pixel : convert(pixel));
            }
        }
    }
    return static_cast<HBITMAP>(copy.release());
}

}  // namespace

COLORREF CImageButton::DarkenColour(COLORREF colour, double factor) {
    if (!std::isfinite(factor) || factor > 1.0) {
        return colour;
    }
    // A negative factor brightens: the channel stops at white instead of wrapping round.
    auto darken = [factor](BYTE v) {
        return static_cast<BYTE>(std::clamp(v - v * factor, 0.0, 255.0));
    };
    return RGB(darken(GetRValue(colour)), darken(GetGValue(colour)), darken(GetBValue(colour)));
}

HBITMAP CImageButton::MakeGreyImage(HBITMAP source, DWORD width, DWORD height) {
    return ConvertImage(source, width, height, [](COLORREF pixel) {
        const auto lum = static_cast<BYTE>(static_cast<int>(
            0.299 * GetRValue(pixel) + 0.587 * GetGValue(pixel) + 0.114 * GetBValue(pixel)));
        return RGB(lum, lum, lum);
    });
}

HBITMAP CImageButton::MakeDarkImage(HBITMAP source, DWORD width, DWORD height) {
    return ConvertImage(source, width, height,
                        [](COLORREF pixel) { return DarkenColour(pixel, 0.25); });
}
