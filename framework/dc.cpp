#include "framework/dc.h"

#include "framework/bitmap.h"
#include "framework/brush.h"
#include "framework/font.h"
#include "framework/palette.h"
#include "framework/pen.h"

CDC::~CDC() {
    DeleteDC();
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
    if (m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = ::CreateCompatibleDC(dc != nullptr ? dc->GetSafeHdc() : nullptr);
    m_owned = m_hDC != nullptr;
    return m_owned;
}

BOOL CDC::DeleteDC() {
    if (m_hDC == nullptr || !m_owned) {
        return FALSE;
    }
    HDC dc = Detach();
    return ::DeleteDC(dc);
}

BOOL CDC::Attach(HDC dc) {
    if (dc == nullptr || m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = dc;
    m_owned = true;
    return TRUE;
}

HDC CDC::Detach() {
    HDC dc = m_hDC;
    m_hDC = nullptr;
    m_owned = false;
    return dc;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
    return object != nullptr ? ::SelectObject(m_hDC, object) : nullptr;
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
    return palette != nullptr ? ::SelectPalette(m_hDC, palette, forceBackground) : nullptr;
}
HPALETTE CDC::SelectPalette(CPalette* palette, BOOL forceBackground) {
    return SelectPalette(palette != nullptr ? static_cast<HPALETTE>(*palette) : nullptr,
                         forceBackground);
}
UINT CDC::RealizePalette() {
    return ::RealizePalette(m_hDC);
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : nullptr, xSrc,
                    ySrc, rop);
}
BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                     int widthSrc, int heightSrc, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : nullptr,
                        xSrc, ySrc, widthSrc, heightSrc, rop);
}
int CDC::SetStretchBltMode(int mode) {
    return ::SetStretchBltMode(m_hDC, mode);
}

void CDC::FillRect(const RECT* rect, HBRUSH brush) {
    ::FillRect(m_hDC, rect, brush);
}
void CDC::FillSolidRect(const RECT* rect, COLORREF colour) {
    // ExtTextOut with an opaque rectangle fills without making a brush.
    const COLORREF old = ::SetBkColor(m_hDC, colour);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}
void CDC::FrameRect(const RECT* rect, HBRUSH brush) {
    ::FrameRect(m_hDC, rect, brush);
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
    ::DrawFocusRect(m_hDC, rect);
}
BOOL CDC::Rectangle(int left, int top, int right, int bottom) {
    return ::Rectangle(m_hDC, left, top, right, bottom);
}
BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    return ::DrawIcon(m_hDC, x, y, icon);
}
BOOL CDC::MoveTo(int x, int y) {
    return ::MoveToEx(m_hDC, x, y, nullptr);
}
BOOL CDC::LineTo(int x, int y) {
    return ::LineTo(m_hDC, x, y);
}
BOOL CDC::Polyline(const POINT* points, int count) {
    return ::Polyline(m_hDC, points, count);
}
COLORREF CDC::GetPixel(int x, int y) const {
    return ::GetPixel(m_hDC, x, y);
}
COLORREF CDC::SetPixel(int x, int y, COLORREF colour) {
    return ::SetPixel(m_hDC, x, y, colour);
}

int CDC::DrawText(const char* text, int length, RECT* rect, UINT format) {
    return ::DrawTextA(m_hDC, text, length, rect, format);
}
int CDC::DrawText(const CString& text, RECT* rect, UINT format) {
    return DrawText(text.GetString(), text.GetLength(), rect, format);
}
BOOL CDC::TextOut(int x, int y, const char* text, int length) {
    return ::TextOutA(m_hDC, x, y, text, length);
}
BOOL CDC::TextOut(int x, int y, const CString& text) {
    return TextOut(x, y, text.GetString(), text.GetLength());
}
SIZE CDC::GetTextExtent(const CString& text) const {
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(m_hDC, text.GetString(), text.GetLength(), &size);
    return size;
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    return ::SetTextColor(m_hDC, colour);
}
COLORREF CDC::GetTextColor() const {
    return ::GetTextColor(m_hDC);
}
COLORREF CDC::SetBkColor(COLORREF colour) {
    return ::SetBkColor(m_hDC, colour);
}
COLORREF CDC::GetBkColor() const {
    return ::GetBkColor(m_hDC);
}
int CDC::SetBkMode(int mode) {
    return ::SetBkMode(m_hDC, mode);
}
int CDC::GetBkMode() const {
    return ::GetBkMode(m_hDC);
}
UINT CDC::SetTextAlign(UINT flags) {
    return ::SetTextAlign(m_hDC, flags);
}
POINT CDC::SetViewportOrg(int x, int y) {
    POINT old{0, 0};
    ::SetViewportOrgEx(m_hDC, x, y, &old);
    return old;
}
int CDC::GetDeviceCaps(int index) const {
    return ::GetDeviceCaps(m_hDC, index);
}
int CDC::SaveDC() {
    return ::SaveDC(m_hDC);
}
BOOL CDC::RestoreDC(int saved) {
    return ::RestoreDC(m_hDC, saved);
}
