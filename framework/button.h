// A push button, check box or other button control bound to its dialog's control. An
// owner-drawn button draws itself in DrawItem, which the parent's WM_DRAWITEM reaches by
// reflection.
#pragma once

#include "framework/wnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight)); }
    UINT GetButtonStyle() const { return GetStyle() & 0xFF; }
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }

    // Draws an owner-drawn button; the plain button draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);

    DECLARE_MESSAGE_MAP()

private:
    void OnReflectedDrawItem(DRAWITEMSTRUCT& drawItem) { DrawItem(&drawItem); }
};
