#include "framework/dc.h"

#include "framework/bitmap.h"
#include "framework/brush.h"
#include "framework/font.h"
#include "framework/palette.h"
#include "framework/pen.h"

BOOL CDC::CreateCompatibleDC(CDC* dc) {
    if (m_dc) {
        return FALSE;
    }
    m_dc.reset(::CreateCompatibleDC(dc != nullptr ? dc->GetSafeHdc() : nullptr));
    return m_dc ? TRUE : FALSE;
}

BOOL CDC::DeleteDC() {
    if (!m_dc.owns()) {
        return FALSE;
    }
    m_dc.reset();
    return TRUE;
}

BOOL CDC::Attach(HDC dc) {
    if (dc == nullptr || m_dc) {
        return FALSE;
    }
    m_dc.reset(dc);
    return TRUE;
}

HDC CDC::Detach() {
    return m_dc.release();
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
    return object != nullptr ? ::SelectObject(GetSafeHdc(), object) : nullptr;
}
HFONT CDC::SelectObject(CFont* font) {
    return static_cast<HFONT>(SelectObject(font != nullptr ? font->GetSafeHandle() : nullptr));
}
HBITMAP CDC::SelectObject(CBitmap* bitmap) {
    return static_cast<HBITMAP>(
        SelectObject(bitmap != nullptr ? bitmap->GetSafeHandle() : nullptr));
}
HBRUSH CDC::SelectObject(CBrush* brush) {
    return static_cast<HBRUSH>(SelectObject(brush != nullptr ? brush->GetSafeHandle() : nullptr));
}
HPEN CDC::SelectObject(CPen* pen) {
    return static_cast<HPEN>(SelectObject(pen != nullptr ? pen->GetSafeHandle() : nullptr));
}
HGDIOBJ CDC::SelectStockObject(int index) {
    return SelectObject(::GetStockObject(index));
}

HPALETTE CDC::SelectPalette(HPALETTE palette, BOOL forceBackground) {
    return palette != nullptr ? ::SelectPalette(GetSafeHdc(), palette, forceBackground) : nullptr;
}
HPALETTE CDC::SelectPalette(CPalette* palette, BOOL forceBackground) {
    return SelectPalette(palette != nullptr ? static_cast<HPALETTE>(*palette) : nullptr,
                         forceBackground);
}
UINT CDC::RealizePalette() {
    return ::RealizePalette(GetSafeHdc());
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop) {
    return ::BitBlt(GetSafeHdc(), x, y, width, height,
                    source != nullptr ? source->GetSafeHdc() : nullptr, xSrc, ySrc, rop);
}
BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                     int widthSrc, int heightSrc, DWORD rop) {
    return ::StretchBlt(GetSafeHdc(), x, y, width, height,
                        source != nullptr ? source->GetSafeHdc() : nullptr, xSrc, ySrc, widthSrc,
                        heightSrc, rop);
}
int CDC::SetStretchBltMode(int mode) {
    return ::SetStretchBltMode(GetSafeHdc(), mode);
}

void CDC::FillRect(const RECT* rect, HBRUSH brush) {
    ::FillRect(GetSafeHdc(), rect, brush);
}
void CDC::FillSolidRect(const RECT* rect, COLORREF colour) {
    // ExtTextOut with an opaque rectangle fills without making a brush.
    const COLORREF old = ::SetBkColor(GetSafeHdc(), colour);
    ::ExtTextOutA(GetSafeHdc(), 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(GetSafeHdc(), old);
}
void CDC::FrameRect(const RECT* rect, HBRUSH brush) {
    ::FrameRect(GetSafeHdc(), rect, brush);
}
void CDC::Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight) {
    const int x = rect->left;
    const int y = rect->top;
    const int cx = rect->right - rect->left;
    const int cy = rect->bottom - rect->top;
    RECT edge{x, y, x + cx - 1, y + 1};
    FillSolidRect(&edge, topLeft);
    edge = {x, y, x + 1, y + cy - 1};
    FillSolidRect(&edge, topLeft);
    edge = {x + cx - 1, y, x + cx, y + cy};
    FillSolidRect(&edge, bottomRight);
    edge = {x, y + cy - 1, x + cx, y + cy};
    FillSolidRect(&edge, bottomRight);
}
void CDC::DrawFocusRect(const RECT* rect) {
    ::DrawFocusRect(GetSafeHdc(), rect);
}
BOOL CDC::Rectangle(int left, int top, int right, int bottom) {
    return ::Rectangle(GetSafeHdc(), left, top, right, bottom);
}
BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    return ::DrawIcon(GetSafeHdc(), x, y, icon);
}
BOOL CDC::MoveTo(int x, int y) {
    return ::MoveToEx(GetSafeHdc(), x, y, nullptr);
}
BOOL CDC::LineTo(int x, int y) {
    return ::LineTo(GetSafeHdc(), x, y);
}
BOOL CDC::Polyline(const POINT* points, int count) {
    return ::Polyline(GetSafeHdc(), points, count);
}
COLORREF CDC::GetPixel(int x, int y) const {
    return ::GetPixel(GetSafeHdc(), x, y);
}
COLORREF CDC::SetPixel(int x, int y, COLORREF colour) {
    return ::SetPixel(GetSafeHdc(), x, y, colour);
}

int CDC::DrawText(const char* text, int length, RECT* rect, UINT format) {
    return ::DrawTextA(GetSafeHdc(), text, length, rect, format);
}
int CDC::DrawText(const CString& text, RECT* rect, UINT format) {
    return DrawText(text.GetString(), text.GetLength(), rect, format);
}
BOOL CDC::TextOut(int x, int y, const char* text, int length) {
    return ::TextOutA(GetSafeHdc(), x, y, text, length);
}
BOOL CDC::TextOut(int x, int y, const CString& text) {
    return TextOut(x, y, text.GetString(), text.GetLength());
}
SIZE CDC::GetTextExtent(const CString& text) const {
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(GetSafeHdc(), text.GetString(), text.GetLength(), &size);
    return size;
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    return ::SetTextColor(GetSafeHdc(), colour);
}
COLORREF CDC::GetTextColor() const {
    return ::GetTextColor(GetSafeHdc());
}
COLORREF CDC::SetBkColor(COLORREF colour) {
    return ::SetBkColor(GetSafeHdc(), colour);
}
COLORREF CDC::GetBkColor() const {
    return ::GetBkColor(GetSafeHdc());
}
int CDC::SetBkMode(int mode) {
    return ::SetBkMode(GetSafeHdc(), mode);
}
int CDC::GetBkMode() const {
    return ::GetBkMode(GetSafeHdc());
}
UINT CDC::SetTextAlign(UINT flags) {
    return ::SetTextAlign(GetSafeHdc(), flags);
}
POINT CDC::SetViewportOrg(int x, int y) {
    POINT old{0, 0};
    ::SetViewportOrgEx(GetSafeHdc(), x, y, &old);
    return old;
}
int CDC::GetDeviceCaps(int index) const {
    return ::GetDeviceCaps(GetSafeHdc(), index);
}
int CDC::SaveDC() {
    return ::SaveDC(GetSafeHdc());
}
BOOL CDC::RestoreDC(int saved) {
    return ::RestoreDC(GetSafeHdc(), saved);
}
