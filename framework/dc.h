// A device context. It borrows a DC that someone else owns, unless it made the DC itself
// (CreateCompatibleDC) or was handed it with Attach, in which case it deletes it when done.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/unique_handle.h"

class CBitmap;
class CBrush;
class CFont;
class CPalette;
class CPen;

class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_dc(dc, Ownership::kBorrowed) {}
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_dc.get(); }
    operator HDC() const { return m_dc.get(); }  // NOLINT: implicit, as the API takes it

    // A memory DC compatible with `dc` (the screen when null), owned by this object.
    BOOL CreateCompatibleDC(CDC* dc);
    BOOL DeleteDC();
    BOOL Attach(HDC dc);
    HDC Detach();

    HGDIOBJ SelectObject(HGDIOBJ object);
    HFONT SelectObject(CFont* font);
    HBITMAP SelectObject(CBitmap* bitmap);
    HBRUSH SelectObject(CBrush* brush);
    HPEN SelectObject(CPen* pen);
    HGDIOBJ SelectStockObject(int index);
    HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground);
    HPALETTE SelectPalette(CPalette* palette, BOOL forceBackground);
    UINT RealizePalette();

    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                    int widthSrc, int heightSrc, DWORD rop);
    int SetStretchBltMode(int mode);

    void FillRect(const RECT* rect, HBRUSH brush);
    void FillSolidRect(const RECT* rect, COLORREF colour);
    void FrameRect(const RECT* rect, HBRUSH brush);
    void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight);
    void DrawFocusRect(const RECT* rect);
    BOOL Rectangle(int left, int top, int right, int bottom);
    BOOL DrawIcon(int x, int y, HICON icon);
    BOOL MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
    BOOL Polyline(const POINT* points, int count);
    COLORREF GetPixel(int x, int y) const;
    COLORREF SetPixel(int x, int y, COLORREF colour);

    int DrawText(const char* text, int length, RECT* rect, UINT format);
    int DrawText(const CString& text, RECT* rect, UINT format);
    BOOL TextOut(int x, int y, const char* text, int length);
    BOOL TextOut(int x, int y, const CString& text);
    SIZE GetTextExtent(const CString& text) const;

    COLORREF SetTextColor(COLORREF colour);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF colour);
    COLORREF GetBkColor() const;
    int SetBkMode(int mode);
    int GetBkMode() const;
    UINT SetTextAlign(UINT flags);
    POINT SetViewportOrg(int x, int y);
    int GetDeviceCaps(int index) const;
    int SaveDC();
    BOOL RestoreDC(int saved);

protected:
    // For the DCs the window system lends (GetDC, BeginPaint): the subclass gives it back.
    void HoldLentDc(HDC dc) { m_dc.reset(dc, Ownership::kBorrowed); }

private:
    UniqueDc m_dc;
};
