#include "skin/dib_bitmap.h"

#include <cstdlib>
#include <new>

#include "framework/bitmap.h"
#include "framework/client_dc.h"
#include "framework/dc.h"
#include "framework/scoped_select_object.h"
#include "framework/unique_handle.h"
#include "skin/bmp_palette.h"
#include "skin/portable/dib_file_reader.h"
#include "skin/portable/dib_format.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

CDIBitmap::CDIBitmap() = default;
CDIBitmap::~CDIBitmap() = default;

int CDIBitmap::GetWidth() const {
    return m_header.empty() ? 0 : skin::DecodeDibInfoHeader(m_header).width;
}

int CDIBitmap::GetHeight() const {
    return m_header.empty() ? 0 : skin::DecodeDibInfoHeader(m_header).height;
}

int CDIBitmap::GetBitCount() const {
    return m_header.empty() ? 0 : skin::DecodeDibInfoHeader(m_header).bitCount;
}

size_t CDIBitmap::GetColourTableSize() const {
    return m_header.size() < skin::kDibInfoHeaderBytes
               ? 0
               : (m_header.size() - skin::kDibInfoHeaderBytes) / 4;
}

const BITMAPINFO* CDIBitmap::GetBitmapInfo() const {
    return m_header.empty() ? nullptr : reinterpret_cast<const BITMAPINFO*>(m_header.data());
}

void CDIBitmap::Clear() {
    m_header.clear();
    m_header.shrink_to_fit();
    m_pixels.clear();
    m_pixels.shrink_to_fit();
    // A palette without its picture would still be realised for the dialog's background.
    m_palette.reset();
}

void CDIBitmap::MakePalette() {
    m_palette.reset();
    if (GetBitCount() <= 8) {
        m_palette = std::make_unique<CBmpPalette>(*this);
    }
}

bool CDIBitmap::LoadFromResource(LPCSTR name) {
    const UniqueGdiObject loaded(
        ::LoadImageA(::GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded) {
        return false;
    }
    CClientDC desktop(::GetDesktopWindow());  // released when the conversion is done
    return CreateFromBitmap(&desktop, static_cast<HBITMAP>(loaded.get()));
}

bool CDIBitmap::CreateFromBitmap(CDC* dc, CBitmap* bitmap) {
    return bitmap != nullptr && CreateFromBitmap(dc, static_cast<HBITMAP>(*bitmap));
}

bool CDIBitmap::CreateFromBitmap(CDC* dc, HBITMAP bitmap) {
    BITMAP source{};
    if (bitmap == nullptr || ::GetObjectA(bitmap, sizeof(source), &source) < 24 ||
        source.bmWidth <= 0 || source.bmHeight <= 0) {
        return false;
    }
    Clear();
    const unsigned bits = source.bmBitsPixel;
    // Pictures of 16 and 32 bits become 24-bit ones; palette pictures keep their depth.
    const uint16_t bitCount = bits == 1 || bits == 4 ? static_cast<uint16_t>(bits)
                              : bits <= 8            ? uint16_t{8}
                                                     : uint16_t{24};
    const size_t colours = bitCount <= 8 ? size_t{1} << bitCount : 0;
    const auto pixelBytes =
        skin::DibPixelBytes(source.bmWidth, source.bmHeight, bitCount, skin::kDibMaxPixelBytes);
    if (!pixelBytes) {
        return false;  // rows too large to hold
    }
    try {
        m_pixels.resize(static_cast<size_t>(*pixelBytes));
        m_header.assign(skin::kDibInfoHeaderBytes + 4 * colours, 0);
    } catch (const std::bad_alloc&) {
        Clear();  // no memory for the rows or the header
        return false;
    }
    skin::DibInfoHeader info;
    info.width = source.bmWidth;
    info.height = source.bmHeight;
    info.planes = source.bmPlanes;
    info.bitCount = bitCount;
    // The image-size field tells the size of the source's own rows (its bits per pixel), not
    // of the rows fetched below; for an uncompressed picture no reader relies on it.
    info.sizeImage = static_cast<uint32_t>(
        skin::DibPixelBytes(source.bmWidth, source.bmHeight, bits, UINT32_MAX).value_or(0));
    skin::EncodeDibInfoHeader(info, m_header);

    std::unique_ptr<CClientDC> screen;
    if (dc == nullptr) {
        screen = std::make_unique<CClientDC>(static_cast<HWND>(nullptr));
        dc = screen.get();
    }
    const int rows = ::GetDIBits(dc->GetSafeHdc(), bitmap, 0, static_cast<UINT>(source.bmHeight),
                                 m_pixels.data(), reinterpret_cast<BITMAPINFO*>(m_header.data()),
                                 DIB_RGB_COLORS);
    if (rows != source.bmHeight) {
        Clear();  // a partial picture is no picture
        return false;
    }
    // GetDIBits may rewrite the header (e.g. the image size); keep the layout we allocated.
    skin::EncodeDibInfoHeader(info, m_header);
    MakePalette();
    return true;
}

bool CDIBitmap::LoadFromFile(const char* path) {
    if (path == nullptr) {
        return false;
    }
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        return false;
    }
    return ReadFromFile(file.get());
}

bool CDIBitmap::ReadFromFile(std::FILE* file) {
    if (file == nullptr) {
        return false;
    }
    Clear();
    skin::DibReadResult read = skin::ReadDibFromFile(file);
    if (!read.ok()) {
        return false;
    }
    m_header = std::move(read.blocks.header);
    m_pixels = std::move(read.blocks.pixels);
    MakePalette();
    return true;
}

HPALETTE CDIBitmap::DrawingPalette() const {
    return m_palette != nullptr ? static_cast<HPALETTE>(*m_palette) : nullptr;
}

void CDIBitmap::RealiseForDrawing(CDC* dc) const {
    if (DrawingPalette() != nullptr) {
        dc->RealizePalette();
        dc->SetStretchBltMode(COLORONCOLOR);
    }
}

void CDIBitmap::DrawStretched(CDC* dc, int x, int y, int width, int height) {
    if (dc == nullptr) {
        return;
    }
    const ScopedSelectPalette palette(*dc, DrawingPalette(), PaletteMode::kForeground,
                                      PaletteMode::kForeground);
    RealiseForDrawing(dc);
    if (HasPicture()) {
        // Top-down rows keep their negative header height; the source is still |height| tall.
        ::StretchDIBits(dc->GetSafeHdc(), x, y, width, height, 0, 0, GetWidth(),
                        std::abs(GetHeight()), m_pixels.data(), GetBitmapInfo(), DIB_RGB_COLORS,
                        SRCCOPY);
    }
}

void CDIBitmap::Draw(CDC* dc, int x, int y) {
    DrawStretched(dc, x, y, GetWidth(), std::abs(GetHeight()));
}

int CDIBitmap::PaintRect(CDC* dc, const RECT& destination, const RECT& source) {
    if (dc == nullptr) {
        return 0;
    }
    const ScopedSelectPalette palette(*dc, DrawingPalette(), PaletteMode::kForeground,
                                      PaletteMode::kForeground);
    RealiseForDrawing(dc);
    int lines = 0;
    if (HasPicture()) {
        const int height = std::abs(GetHeight());
        // Rows are stored bottom-up, so the source's bottom edge is counted from the last row.
        lines =
            ::SetDIBitsToDevice(dc->GetSafeHdc(), destination.left, destination.top,
                                static_cast<DWORD>(destination.right - destination.left),
                                static_cast<DWORD>(destination.bottom - destination.top),
                                source.left, height - source.bottom, 0, static_cast<UINT>(height),
                                m_pixels.data(), GetBitmapInfo(), DIB_RGB_COLORS);
    }
    return lines;
}
