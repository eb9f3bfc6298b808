#include "skin/bitmap_dialog.h"

#include <cstdlib>
#include <cstring>

#include "framework/client_dc.h"
#include "framework/message_map_entries.h"
#include "framework/scoped_select_object.h"
#include "skin/bmp_palette.h"

// clang-format off
BEGIN_MESSAGE_MAP(CBitmapDialog, CDialog)
    MapEraseBkgnd<&ThisClass::OnEraseBkgnd>(),
    MapCtlColor<&ThisClass::OnBackgroundCtlColor>(),
    MapQueryNewPalette<&ThisClass::OnQueryNewPalette>(),
    MapPaletteChanged<&ThisClass::OnPaletteChanged>(),
END_MESSAGE_MAP()
// clang-format on

CBitmapDialog::CBitmapDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {
    m_hollowBrush.CreateStockObject(NULL_BRUSH);
}

// The brush goes first, then the background with its blocks and palette (member order).
CBitmapDialog::~CBitmapDialog() = default;

bool CBitmapDialog::SetBackgroundBitmap(UINT resourceId, int drawMode) {
    m_nDrawMode = drawMode;
    return m_background.LoadFromResource(resourceId);
}

BOOL CBitmapDialog::OnEraseBkgnd(CDC& dc) {
    if (!m_background.HasPicture()) {
        return static_cast<BOOL>(Default());
    }
    CRect client;
    GetClientRect(&client);
    const int width = client.Width();
    const int height = client.Height();
    switch (m_nDrawMode) {
        case BITMAP_STRETCH:
            m_background.DrawStretched(&dc, 0, 0, width, height);
            break;
        case BITMAP_CENTER:
            Default();  // the dialog's own colour around a smaller picture
            // A top-down picture from a file reports its height negated.
            m_background.Draw(&dc, (width - m_background.GetWidth()) / 2,
                              (height - std::abs(m_background.GetHeight())) / 2);
            break;
        default:
            TileBackground(dc, width, height);
            break;
    }
    return TRUE;
}

void CBitmapDialog::TileBackground(CDC& dc, int clientWidth, int clientHeight) {
    const int tileWidth = m_background.GetWidth();
    const int tileHeight = m_background.GetHeight();
    // A top-down picture read from a file reports a negative height: stepping by it would
    // never end, so such a picture is drawn once.
    if (tileWidth <= 0 || tileHeight <= 0) {
        m_background.Draw(&dc, 0, 0);
        return;
    }
    for (int y = 0; y < clientHeight; y += tileHeight) {
        for (int x = 0; x < clientWidth; x += tileWidth) {
            m_background.Draw(&dc, x, y);
        }
    }
}

HBRUSH CBitmapDialog::OnBackgroundCtlColor(CDC& dc, CWnd& control, UINT kind) {
    if (!m_background.HasPicture()) {
        return CDialog::OnCtlColor(dc, control, kind);
    }
    bool transparent = kind == CTLCOLOR_BTN;
    if (kind == CTLCOLOR_STATIC) {
        char className[256] = {};
        ::GetClassNameA(control.GetSafeHwnd(), className, sizeof(className));
        transparent = std::strcmp(className, "msctls_trackbar32") != 0;
    }
    if (!transparent) {
        return CDialog::OnCtlColor(dc, control, kind);
    }
    dc.SetBkMode(TRANSPARENT);
    return static_cast<HBRUSH>(m_hollowBrush.GetSafeHandle());
}

BOOL CBitmapDialog::OnQueryNewPalette() {
    CBmpPalette* palette = m_background.GetPalette();
    if (palette == nullptr || palette->GetSafeHandle() == nullptr || m_hWnd == nullptr) {
        return static_cast<BOOL>(Default());
    }
    CClientDC dc(this);
    UINT mapped = 0;
    {
        const ScopedSelectPalette select(dc, *palette, PaletteMode::kForeground,
                                         PaletteMode::kBackground);
        mapped = dc.RealizePalette();
    }
    if (mapped == 0) {
        return FALSE;
    }
    Invalidate(TRUE);
    return TRUE;
}

void CBitmapDialog::OnPaletteChanged(CWnd* changedBy) {
    CBmpPalette* palette = m_background.GetPalette();
    const HWND changer = changedBy != nullptr ? changedBy->GetSafeHwnd() : nullptr;
    if (palette == nullptr || palette->GetSafeHandle() == nullptr || m_hWnd == nullptr ||
        changer == m_hWnd || (changer != nullptr && ::IsChild(m_hWnd, changer))) {
        Default();
        return;
    }
    CClientDC dc(this);
    UINT mapped = 0;
    {
        const ScopedSelectPalette select(dc, *palette, PaletteMode::kBackground,
                                         PaletteMode::kBackground);
        mapped = dc.RealizePalette();
    }
    if (mapped != 0) {
        Invalidate(TRUE);
    }
}
