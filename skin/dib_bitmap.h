// One picture as a device-independent bitmap (info header, colour table, bottom-up rows),
// built from a bitmap resource, a GDI bitmap or a BMP file, with a palette for pictures of
// 256 colours or fewer, drawn unscaled, stretched or as a region.
#pragma once

#include <windows.h>

#include <cstdio>
#include <memory>
#include <vector>

class CBitmap;
class CBmpPalette;
class CDC;

class CDIBitmap {
public:
    CDIBitmap();
    virtual ~CDIBitmap();
    CDIBitmap(const CDIBitmap&) = delete;
    CDIBitmap& operator=(const CDIBitmap&) = delete;

    // Draws the region `source` of the picture unscaled at `destination`'s origin; returns
    // the scan lines drawn (0 for an empty object).
    virtual int PaintRect(CDC* dc, const RECT& destination, const RECT& source);
    virtual void DrawStretched(CDC* dc, int x, int y, int width, int height);
    virtual void Draw(CDC* dc, int x, int y);
    virtual bool LoadFromFile(const char* path);
    // Reads a BMP image whose file header starts at the file's current position.
    virtual bool ReadFromFile(std::FILE* file);

    // A bitmap resource of the program's own module, by name or MAKEINTRESOURCE id.
    bool LoadFromResource(LPCSTR name);
    bool LoadFromResource(UINT id) { return LoadFromResource(MAKEINTRESOURCEA(id)); }
    // Converts `bitmap` with `dc` (the screen when null); the bitmap stays the caller's.
    bool CreateFromBitmap(CDC* dc, HBITMAP bitmap);
    bool CreateFromBitmap(CDC* dc, CBitmap* bitmap);

    bool HasPicture() const { return !m_pixels.empty(); }
    // The header's fields; a file may give a negative height (rows stored top-down).
    int GetWidth() const;
    int GetHeight() const;
    int GetBitCount() const;
    // Entries of the colour table the header block holds.
    size_t GetColourTableSize() const;
    const BITMAPINFO* GetBitmapInfo() const;
    const std::vector<uint8_t>& GetHeaderBlock() const { return m_header; }
    const std::vector<uint8_t>& GetPixelBlock() const { return m_pixels; }
    CBmpPalette* GetPalette() const { return m_palette.get(); }

private:
    void Clear();
    void MakePalette();
    // The palette each draw selects into its DC, or null for pictures without one.
    HPALETTE DrawingPalette() const;
    // Realises the selected palette and sets the stretch mode its colours need.
    void RealiseForDrawing(CDC* dc) const;

    std::vector<uint8_t> m_header;  // BITMAPINFOHEADER followed by the colour table
    std::vector<uint8_t> m_pixels;  // rows padded to 4 bytes, as the header describes them
    std::unique_ptr<CBmpPalette> m_palette;
};
