// A dialog whose whole background is a picture (tiled, stretched or centred), whose static
// texts and buttons let that picture show through, and which keeps the picture's palette
// realised on palette displays.
#pragma once

#include "framework/brush.h"
#include "framework/dialog.h"
#include "skin/dib_bitmap.h"

inline constexpr int BITMAP_TILE = 0;
inline constexpr int BITMAP_STRETCH = 1;
inline constexpr int BITMAP_CENTER = 2;

class CBitmapDialog : public CDialog {
public:
    explicit CBitmapDialog(UINT templateId, CWnd* parent = nullptr);
    ~CBitmapDialog() override;

    // Loads bitmap resource `resourceId` as the background; any mode other than
    // BITMAP_STRETCH and BITMAP_CENTER tiles. The mode is kept even when the load fails.
    bool SetBackgroundBitmap(UINT resourceId, int drawMode);
    int GetDrawMode() const { return m_nDrawMode; }
    const CDIBitmap& GetBackground() const { return m_background; }

    DECLARE_MESSAGE_MAP()

protected:
    CDIBitmap& GetBackground() { return m_background; }

    BOOL OnEraseBkgnd(CDC& dc);
    // Static texts and buttons over the picture draw transparently; trackbars keep their own
    // colours, since a hollow brush leaves their channel unpainted. Named apart from
    // CWnd::OnCtlColor, which derived dialogs keep reaching as the framework's default.
    HBRUSH OnBackgroundCtlColor(CDC& dc, CWnd& control, UINT kind);
    BOOL OnQueryNewPalette();
    void OnPaletteChanged(CWnd* changedBy);

private:
    void TileBackground(CDC& dc, int clientWidth, int clientHeight);

    CDIBitmap m_background;
    int m_nDrawMode = BITMAP_TILE;
    CBrush m_hollowBrush;
};
