// The wizard's push button: an owner-drawn button with no face of its own. It shows the
// dialog's picture beneath it, an image chosen by its state (normal, under the pointer or
// pressed, disabled) drawn transparently against a key colour, and its caption in a colour
// chosen by the same state. A check-box style control becomes a toggle button.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "framework/bitmap.h"
#include "framework/button.h"
#include "framework/dc.h"
#include "framework/rect.h"
#include "framework/scoped_select_object.h"
#include "framework/unique_handle.h"

// Where the image stands relative to the caption.
inline constexpr BYTE ALIGN_IMAGE_LEFT = 0;
inline constexpr BYTE ALIGN_IMAGE_TOP = 1;
inline constexpr BYTE ALIGN_IMAGE_RIGHT = 2;

// Colour slots of SetStateColour.
inline constexpr int COLOUR_BACK_ACTIVE = 0;  // background under the pointer or pressed
inline constexpr int COLOUR_TEXT_ACTIVE = 1;
inline constexpr int COLOUR_BACK_NORMAL = 2;  // at rest, not focused
inline constexpr int COLOUR_TEXT_NORMAL = 3;
inline constexpr int COLOUR_BACK_FOCUS = 4;  // at rest, focused
inline constexpr int COLOUR_TEXT_FOCUS = 5;
inline constexpr int COLOUR_COUNT = 6;

// Results of the image setters.
inline constexpr int IMAGE_OK = 0;
inline constexpr int IMAGE_INVALID = 1;      // the bitmap's description could not be read
inline constexpr int IMAGE_MASK_FAILED = 2;  // no mask could be made for it

// Pixels of this colour around an image's disc are left out when the image is drawn.
inline constexpr COLORREF IMAGE_KEY_COLOUR = RGB(1, 53, 103);

// Special values of SetImages' `normal`: a grey or a darker copy of the active image.
inline const HBITMAP IMAGE_AUTO_GREY = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(-2));
inline const HBITMAP IMAGE_AUTO_DARK = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(-3));

class CImageButton : public CButton {
public:
    CImageButton();
    ~CImageButton() override;

    // Takes ownership of both bitmaps (also when it fails). Slot 0 is drawn under the pointer
    // and when pressed, slot 1 at rest; a null `normal`, or `active` again, draws the active
    // image in every state.
    int SetImages(HBITMAP active, HBITMAP normal);
    // Loads bitmap resource `resourceId` of the program as the disabled image. Set it after
    // SetImages, which clears it; a failure releases every image.
    int SetDisabledImage(UINT resourceId);
    void SetTransparentBack(BOOL transparent);
    void SetBorderDrawn(BOOL border);
    void SetStateColour(int index, COLORREF colour);
    void SetImageAlign(BYTE align);

    // The states the wizard keeps at their defaults (flat, hover-tracked, no focus frame).
    void SetFlat(BOOL flat);
    void SetFlatFocus(BOOL flatFocus);
    void SetTrackAlways(BOOL trackAlways);
    void SetUseDisabledLook(BOOL use);
    void SetImageMargin(POINT margin);
    void SetPushShift(POINT shift);

    BOOL IsDefaultButton() const { return m_bDefault; }
    BOOL IsToggleMode() const { return m_bToggle; }
    BOOL IsHover() const { return m_bHover; }
    int GetToggleState() const { return m_nToggleState; }
    COLORREF GetStateColour(int index) const;
    BYTE GetImageAlign() const { return m_nImageAlign; }
    // Whether image slot 0 (active), 1 (normal) or 2 (disabled) holds a bitmap.
    bool HasImage(int slot) const;
    SIZE GetImageSize(int slot) const;

    // Builds the monochrome mask of `bitmap` (1 where the key colour is) and blackens the key
    // pixels of `bitmap` itself; null when no mask can be made.
    static HBITMAP BuildImageMask(HBITMAP bitmap, DWORD width, DWORD height);
    // Copies of `source` in grey (luminance) or darkened by a quarter; key pixels unchanged.
    static HBITMAP MakeGreyImage(HBITMAP source, DWORD width, DWORD height);
    static HBITMAP MakeDarkImage(HBITMAP source, DWORD width, DWORD height);
    // Each channel less `factor` of itself, kept within 0 to 255 (a negative factor brightens);
    // a factor above 1.0 (or not a number) leaves the colour as it is.
    static COLORREF DarkenColour(COLORREF colour, double factor);

    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;

    DECLARE_MESSAGE_MAP()

protected:
    void PreSubclassWindow() override;

    // The painting steps, in the order DrawItem takes them.
    virtual int PaintBackground(CDC& dc, CRect& item);
    virtual int PaintBorder(CDC& dc, CRect& item);
    // Kept for derived buttons; this button never holds an icon.
    virtual void PaintIcon(CDC& dc, BOOL hasCaption, const CRect& item, CRect& caption,
                           BOOL pressed, BOOL disabled);
    virtual void PaintImage(CDC& dc, BOOL hasCaption, const CRect& item, CRect& caption,
                            BOOL pressed, BOOL disabled);
    virtual void PaintCaption(CDC& dc, const CString& text, const CRect& item, CRect& caption,
                              BOOL pressed, BOOL disabled);

    void OnKillFocus(CWnd* newFocus);
    void OnMouseMove(UINT keys, CPoint point);
    void OnSysColorChange();
    bool OnClicked();
    void OnActivate(UINT state, CWnd* other, BOOL minimised);
    void OnEnable(BOOL enable);
    void OnCancelMode();
    UINT OnGetDlgCode();
    HBRUSH CtlColor(CDC& dc, UINT kind);
    LRESULT OnSetStyle(WPARAM style, LPARAM redraw);
    void OnMouseLeave();
    LRESULT OnSetCheck(WPARAM state, LPARAM);
    LRESULT OnGetCheck(WPARAM, LPARAM);

private:
    static constexpr DWORD kTypeMask = 0x1F;  // BS_TYPEMASK
    static constexpr int kSlotActive = 0;
    static constexpr int kSlotNormal = 1;
    static constexpr int kSlotDisabled = 2;

    struct ImageSlot {
        UniqueGdiObject bitmap;
        DWORD width = 0;
        DWORD height = 0;
        UniqueGdiObject mask;
        COLORREF key = IMAGE_KEY_COLOUR;
    };

    void ReleaseImages();
    // Puts `bitmap` into `slot`, reads its size and builds its mask; IMAGE_OK or the failure.
    int FillSlot(ImageSlot& slot, HBITMAP bitmap);
    int ChooseSlot() const;
    void PlaceImage(BOOL hasCaption, BOOL pressed, DWORD width, DWORD height, const CRect& item,
                    CRect& image, CRect& caption) const;
    void CopyParentBackground(CDC& target);
    void DropBackgroundCache();
    void EndHover();
    void ResetColours();

    BOOL m_bUseDisabledLook = TRUE;
    POINT m_ptImageMargin{3, 3};
    POINT m_ptPushShift{1, 1};
    BOOL m_bFlat = TRUE;
    BOOL m_bHover = FALSE;
    BOOL m_bTransparentBack = FALSE;
    BOOL m_bPressed = FALSE;
    BOOL m_bFocused = FALSE;
    BOOL m_bDisabled = FALSE;
    BOOL m_bDefault = FALSE;
    BOOL m_bToggle = FALSE;
    BYTE m_nImageAlign = ALIGN_IMAGE_LEFT;
    BOOL m_bBorder = TRUE;
    BOOL m_bFlatFocus = FALSE;
    std::array<COLORREF, COLOUR_COUNT> m_crColours{};
    CDC m_cacheDC;
    CBitmap m_cacheBitmap;
    // Keeps the cache bitmap selected into the cache DC; declared after both, so it leaves
    // the DC before either is deleted.
    std::optional<ScopedSelectObject> m_cacheSelection;
    BOOL m_bTrackAlways = TRUE;
    int m_nToggleState = 0;
    std::array<ImageSlot, 3> m_images;
};
