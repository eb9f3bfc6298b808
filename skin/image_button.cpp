// The image button's life and configuration: construction, the setters and what they keep,
// and taking over the dialog's control when it is attached.
#include "skin/image_button.h"

namespace {

constexpr std::array<int, COLOUR_COUNT> kInitialSysColours = {
    COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_BTNFACE, COLOR_BTNTEXT};

}  // namespace

CImageButton::CImageButton() {
    ResetColours();
}

// The cache's selection leaves its DC before the bitmap and the DC go (member order).
CImageButton::~CImageButton() = default;

void CImageButton::ResetColours() {
    for (int i = 0; i < COLOUR_COUNT; ++i) {
        m_crColours[static_cast<size_t>(i)] =
            ::GetSysColor(kInitialSysColours[static_cast<size_t>(i)]);
    }
}

void CImageButton::SetTransparentBack(BOOL transparent) {
    m_bTransparentBack = transparent;
    DropBackgroundCache();
    Invalidate();
}

void CImageButton::DropBackgroundCache() {
    m_cacheSelection.reset();
    m_cacheBitmap.DeleteObject();
    m_cacheDC.DeleteDC();
}

void CImageButton::SetBorderDrawn(BOOL border) {
    m_bBorder = border;
    Invalidate();
}

void CImageButton::SetStateColour(int index, COLORREF colour) {
    if (index < 0 || index >= COLOUR_COUNT) {
        return;
    }
    m_crColours[static_cast<size_t>(index)] = colour;
    Invalidate();
}

COLORREF CImageButton::GetStateColour(int index) const {
    return index >= 0 && index < COLOUR_COUNT ? m_crColours[static_cast<size_t>(index)] : 0;
}

void CImageButton::SetImageAlign(BYTE align) {
    m_nImageAlign = align;
    Invalidate();
}

void CImageButton::SetFlat(BOOL flat) {
    m_bFlat = flat;
    Invalidate();
}
void CImageButton::SetFlatFocus(BOOL flatFocus) {
    m_bFlatFocus = flatFocus;
    Invalidate();
}
void CImageButton::SetTrackAlways(BOOL trackAlways) {
    m_bTrackAlways = trackAlways;
}
void CImageButton::SetUseDisabledLook(BOOL use) {
    m_bUseDisabledLook = use;
    Invalidate();
}
void CImageButton::SetImageMargin(POINT margin) {
    m_ptImageMargin = margin;
    Invalidate();
}
void CImageButton::SetPushShift(POINT shift) {
    m_ptPushShift = shift;
    Invalidate();
}

bool CImageButton::HasImage(int slot) const {
    return slot >= 0 && slot < 3 && static_cast<bool>(m_images[static_cast<size_t>(slot)].bitmap);
}

SIZE CImageButton::GetImageSize(int slot) const {
    if (!HasImage(slot)) {
        return {0, 0};
    }
    const ImageSlot& image = m_images[static_cast<size_t>(slot)];
    return {static_cast<LONG>(image.width), static_cast<LONG>(image.height)};
}

void CImageButton::PreSubclassWindow() {
    const DWORD style = GetStyle() & 0xFF;
    // One bit decides: check boxes, three-state boxes and owner-drawn controls all carry it.
    if ((style & 0x02) != 0) {
        m_bToggle = TRUE;
    }
    if ((style & kTypeMask) == BS_DEFPUSHBUTTON) {
        m_bDefault = TRUE;
    }
    ModifyStyle(kTypeMask, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

BOOL CImageButton::PreTranslateMessage(MSG* msg) {
    // An owner-drawn button takes a quick second click as a double click and does not press;
    // the user meant a second press.
    if (msg != nullptr && msg->message == WM_LBUTTONDBLCLK) {
        msg->message = WM_LBUTTONDOWN;
    }
    return CButton::PreTranslateMessage(msg);
}
