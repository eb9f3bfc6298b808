// The image button's input: hover tracking, focus and activation, clicks and toggling, and the
// button messages the dialog manager sends.
#include "skin/image_button.h"

#include <commctrl.h>

#include "framework/message_map_entries.h"

// clang-format off
BEGIN_MESSAGE_MAP(CImageButton, CButton)
    MapKillFocus<&ThisClass::OnKillFocus>(),
    MapMouseMove<&ThisClass::OnMouseMove>(),
    MapSysColorChange<&ThisClass::OnSysColorChange>(),
    MapReflectedCommand<BN_CLICKED, &ThisClass::OnClicked>(),
    MapActivate<&ThisClass::OnActivate>(),
    MapEnable<&ThisClass::OnEnable>(),
    MapCancelMode<&ThisClass::OnCancelMode>(),
    MapGetDlgCode<&ThisClass::OnGetDlgCode>(),
    MapReflectedCtlColor<&ThisClass::CtlColor>(),
    MapMessage<BM_SETSTYLE, &ThisClass::OnSetStyle>(),
    MapMouseLeave<&ThisClass::OnMouseLeave>(),
    MapMessage<BM_SETCHECK, &ThisClass::OnSetCheck>(),
    MapMessage<BM_GETCHECK, &ThisClass::OnGetCheck>(),
END_MESSAGE_MAP()
// clang-format on

void CImageButton::EndHover() {
    if (m_bFlat && m_bHover) {
        m_bHover = FALSE;
        Invalidate();
    }
}

void CImageButton::OnKillFocus(CWnd*) {
    Default();
    EndHover();
}

void CImageButton::OnMouseMove(UINT keys, CPoint point) {
    Default();
    POINT screen = point;
    ClientToScreen(&screen);
    const HWND under = ::WindowFromPoint(screen);
    // Pressing elsewhere and dragging in is not hovering.
    if (((keys & MK_LBUTTON) != 0 && !m_bHover) || !m_bFlat) {
        return;
    }
    const bool active = m_bTrackAlways || ::GetActiveWindow() != nullptr;
    if (under == m_hWnd && active) {
        if (m_bHover) {
            return;
        }
        m_bHover = TRUE;
        Invalidate();
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, HOVER_DEFAULT};
        ::_TrackMouseEvent(&track);
        return;
    }
    EndHover();
}

void CImageButton::OnSysColorChange() {
    Default();
    DropBackgroundCache();
    ResetColours();
    Invalidate();
}

bool CImageButton::OnClicked() {
    SetFocus();
    if (m_bToggle) {
        m_nToggleState = m_nToggleState != 0 ? 0 : 1;
        Invalidate();
    }
    return false;  // the dialog acts on the click as well
}

void CImageButton::OnActivate(UINT state, CWnd*, BOOL) {
    Default();
    if (state == WA_INACTIVE) {
        EndHover();
    }
}

void CImageButton::OnEnable(BOOL enable) {
    Default();
    if (!enable) {
        // A disabled button cannot hold the keyboard; hand it on as Tab would.
        HWND parent = ::GetParent(m_hWnd);
        HWND next = parent != nullptr ? ::GetNextDlgTabItem(parent, m_hWnd, FALSE) : nullptr;
        // With no usable tab stop left the search hands back some other control; the
        // dialog itself takes the focus then.
        const auto style = next != nullptr ? ::GetWindowLongA(next, GWL_STYLE) : 0;
        const bool usable = next != nullptr && next != m_hWnd && (style & WS_TABSTOP) != 0 &&
                            (style & WS_DISABLED) == 0 && (style & WS_VISIBLE) != 0;
        if (usable) {
            ::SetFocus(next);
        } else if (parent != nullptr) {
            ::SetFocus(parent);
        }
    }
    EndHover();
}

void CImageButton::OnCancelMode() {
    Default();
    EndHover();
}

UINT CImageButton::OnGetDlgCode() {
    const auto code = static_cast<UINT>(Default());
    return code | (m_bDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

HBRUSH CImageButton::CtlColor(CDC&, UINT) {
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

LRESULT CImageButton::OnSetStyle(WPARAM style, LPARAM redraw) {
    const auto type = static_cast<UINT>(style) & kTypeMask;
    if (type == BS_DEFPUSHBUTTON) {
        m_bDefault = TRUE;
    } else if (type == BS_PUSHBUTTON) {
        m_bDefault = FALSE;
    }
    // The dialog manager moves the default between buttons by style; ours stay owner-drawn.
    const WPARAM ownerDrawn = (style & ~static_cast<WPARAM>(0x14)) | BS_OWNERDRAW;
    return DefWindowProc(BM_SETSTYLE, ownerDrawn, redraw);
}

void CImageButton::OnMouseLeave() {
    EndHover();
}

LRESULT CImageButton::OnSetCheck(WPARAM state, LPARAM) {
    if (m_bToggle) {
        m_nToggleState = (state == BST_CHECKED || state == BST_INDETERMINATE) ? 1 : 0;
        Invalidate();
    }
    return 0;
}

LRESULT CImageButton::OnGetCheck(WPARAM, LPARAM) {
    return m_nToggleState;
}
