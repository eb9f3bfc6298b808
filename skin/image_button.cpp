#include "skin/image_button.h"

#include <commctrl.h>

#include "framework/client_dc.h"
#include "framework/memory_dc.h"
#include "framework/message_map_entries.h"
#include "framework/scoped_select_object.h"

namespace {

constexpr DWORD kTypeMask = 0x1F;  // BS_TYPEMASK
constexpr int kSlotActive = 0;
constexpr int kSlotNormal = 1;
constexpr int kSlotDisabled = 2;

constexpr std::array<int, COLOUR_COUNT> kInitialSysColours = {
    COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_BTNFACE, COLOR_BTNTEXT};

bool IsSpecialImage(HBITMAP bitmap) {
    return bitmap == IMAGE_AUTO_GREY || bitmap == IMAGE_AUTO_DARK;
}

// Visits every pixel of `source` row by row and writes `convert` of it into a new
// screen-compatible bitmap; key pixels pass unchanged. Null when a DC or the bitmap fails.
template <typename Convert>
HBITMAP ConvertImage(HBITMAP source, DWORD width, DWORD height, Convert convert) {
    CClientDC screen(static_cast<HWND>(nullptr));
    if (screen.GetSafeHdc() == nullptr || source == nullptr) {
        return nullptr;
    }
    CMemoryDC from(&screen);
    CMemoryDC to(&screen);
    if (from.GetSafeHdc() == nullptr || to.GetSafeHdc() == nullptr) {
        return nullptr;
    }
    UniqueGdiObject copy(
        ::CreateCompatibleBitmap(screen, static_cast<int>(width), static_cast<int>(height)));
    if (!copy) {
        return nullptr;
    }
    {
        ScopedSelectObject selectSource(from, source);
        ScopedSelectObject selectCopy(to, copy.get());
        for (int y = 0; y < static_cast<int>(height); ++y) {
            for (int x = 0; x < static_cast<int>(width); ++x) {
                const COLORREF pixel = from.GetPixel(x, y);
                to.SetPixel(x, y, pixel == IMAGE_KEY_COLOUR ? pixel : convert(pixel));
            }
        }
    }
    return static_cast<HBITMAP>(copy.release());
}

}  // namespace

BEGIN_MESSAGE_MAP(CImageButton, CButton)
    MapKillFocus<&ThisClass::OnKillFocus>(), MapMouseMove<&ThisClass::OnMouseMove>(),
        MapSysColorChange<&ThisClass::OnSysColorChange>(),
        MapReflectedCommand<BN_CLICKED, &ThisClass::OnClicked>(),
        MapActivate<&ThisClass::OnActivate>(), MapEnable<&ThisClass::OnEnable>(),
        MapCancelMode<&ThisClass::OnCancelMode>(), MapGetDlgCode<&ThisClass::OnGetDlgCode>(),
        MapReflectedCtlColor<&ThisClass::CtlColor>(),
        MapMessage<BM_SETSTYLE, &ThisClass::OnSetStyle>(),
        MapMouseLeave<&ThisClass::OnMouseLeave>(),
        MapMessage<BM_SETCHECK, &ThisClass::OnSetCheck>(),
        MapMessage<BM_GETCHECK, &ThisClass::OnGetCheck>(),
END_MESSAGE_MAP()

CImageButton::CImageButton() {
    ResetColours();
}

CImageButton::~CImageButton() {
    // The cache bitmap must leave its DC before either is deleted.
    if (m_cacheDC.GetSafeHdc() != nullptr && m_cachePrevious != nullptr) {
        m_cacheDC.SelectObject(m_cachePrevious);
        m_cachePrevious = nullptr;
    }
    ReleaseImages();
}

void CImageButton::ResetColours() {
    for (int i = 0; i < COLOUR_COUNT; ++i) {
        m_crColours[static_cast<size_t>(i)] =
            ::GetSysColor(kInitialSysColours[static_cast<size_t>(i)]);
    }
}

// ---- configuration ----

int CImageButton::SetImages(HBITMAP active, HBITMAP normal) {
    ReleaseImages();
    // Both handles are ours from here on, so every way out below releases them.
    UniqueGdiObject ownedNormal(IsSpecialImage(normal) ? nullptr : normal);
    if (active == nullptr) {
        Invalidate();
        return IMAGE_OK;
    }
    ImageSlot& slotActive = m_images[kSlotActive];
    slotActive.bitmap.reset(active);
    slotActive.key = IMAGE_KEY_COLOUR;
    BITMAP description{};
    if (::GetObjectType(active) != OBJ_BITMAP ||
        ::GetObjectA(active, sizeof(description), &description) == 0) {
        ReleaseImages();
        return IMAGE_INVALID;
    }
    slotActive.width = static_cast<DWORD>(description.bmWidth);
    slotActive.height = static_cast<DWORD>(description.bmHeight);
    // The copies are made before the mask blackens the active image's key pixels.
    if (normal == IMAGE_AUTO_GREY) {
        ownedNormal.reset(MakeGreyImage(active, slotActive.width, slotActive.height));
    } else if (normal == IMAGE_AUTO_DARK) {
        ownedNormal.reset(MakeDarkImage(active, slotActive.width, slotActive.height));
    }
    slotActive.mask.reset(BuildImageMask(active, slotActive.width, slotActive.height));
    if (!slotActive.mask) {
        ReleaseImages();
        return IMAGE_MASK_FAILED;
    }
    if (ownedNormal) {
        const int result =
            FillSlot(m_images[kSlotNormal], static_cast<HBITMAP>(ownedNormal.release()));
        if (result != IMAGE_OK) {
            ReleaseImages();
            return result;
        }
    }
    Invalidate();
    return IMAGE_OK;
}

int CImageButton::SetDisabledImage(UINT resourceId) {
    auto* bitmap =
        static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId),
                                          IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    const int result = FillSlot(m_images[kSlotDisabled], bitmap);
    if (result != IMAGE_OK) {
        ReleaseImages();
        return result;
    }
    Invalidate();
    return IMAGE_OK;
}

int CImageButton::FillSlot(ImageSlot& slot, HBITMAP bitmap) {
    slot.bitmap.reset(bitmap);
    slot.key = IMAGE_KEY_COLOUR;
    BITMAP description{};
    if (bitmap == nullptr || ::GetObjectType(bitmap) != OBJ_BITMAP ||
        ::GetObjectA(bitmap, sizeof(description), &description) == 0) {
        return IMAGE_INVALID;
    }
    slot.width = static_cast<DWORD>(description.bmWidth);
    slot.height = static_cast<DWORD>(description.bmHeight);
    slot.mask.reset(BuildImageMask(bitmap, slot.width, slot.height));
    return slot.mask ? IMAGE_OK : IMAGE_MASK_FAILED;
}

void CImageButton::ReleaseImages() {
    for (ImageSlot& slot : m_images) {
        slot.bitmap.reset();
        slot.mask.reset();
        slot.width = 0;
        slot.height = 0;
    }
}

void CImageButton::SetTransparentBack(BOOL transparent) {
    m_bTransparentBack = transparent;
    DropBackgroundCache();
    Invalidate();
}

void CImageButton::DropBackgroundCache() {
    if (m_cacheDC.GetSafeHdc() != nullptr && m_cachePrevious != nullptr) {
        m_cacheDC.SelectObject(m_cachePrevious);
    }
    m_cachePrevious = nullptr;
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

// ---- images ----

HBITMAP CImageButton::BuildImageMask(HBITMAP bitmap, DWORD width, DWORD height) {
    UniqueGdiObject mask(
        ::CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 1, nullptr));
    if (!mask || bitmap == nullptr) {
        return nullptr;
    }
    CMemoryDC imageDC;
    CMemoryDC maskDC;
    if (imageDC.GetSafeHdc() == nullptr || maskDC.GetSafeHdc() == nullptr) {
        return nullptr;
    }
    {
        ScopedSelectObject selectImage(imageDC, bitmap);
        ScopedSelectObject selectMask(maskDC, mask.get());
        const int w = static_cast<int>(width);
        const int h = static_cast<int>(height);
        // Colour to monochrome: pixels of the background colour become 1, all others 0.
        const COLORREF oldBack = imageDC.SetBkColor(IMAGE_KEY_COLOUR);
        maskDC.BitBlt(0, 0, w, h, &imageDC, 0, 0, SRCCOPY);
        // Monochrome to colour: 1 bits take the background (black), 0 bits the text (white),
        // so AND blackens exactly the key pixels of the image.
        const COLORREF oldText = imageDC.SetTextColor(RGB(255, 255, 255));
        imageDC.SetBkColor(RGB(0, 0, 0));
        imageDC.BitBlt(0, 0, w, h, &maskDC, 0, 0, SRCAND);
        imageDC.SetTextColor(oldText);
        imageDC.SetBkColor(oldBack);
    }
    return static_cast<HBITMAP>(mask.release());
}

COLORREF CImageButton::DarkenColour(COLORREF colour, double factor) {
    if (factor > 1.0) {
        return colour;
    }
    auto darken = [factor](BYTE v) { return static_cast<BYTE>(static_cast<int>(v - v * factor)); };
    return RGB(darken(GetRValue(colour)), darken(GetGValue(colour)), darken(GetBValue(colour)));
}

HBITMAP CImageButton::MakeGreyImage(HBITMAP source, DWORD width, DWORD height) {
    return ConvertImage(source, width, height, [](COLORREF pixel) {
        const auto lum = static_cast<BYTE>(static_cast<int>(
            0.299 * GetRValue(pixel) + 0.587 * GetGValue(pixel) + 0.114 * GetBValue(pixel)));
        return RGB(lum, lum, lum);
    });
}

HBITMAP CImageButton::MakeDarkImage(HBITMAP source, DWORD width, DWORD height) {
    return ConvertImage(source, width, height,
                        [](COLORREF pixel) { return DarkenColour(pixel, 0.25); });
}

// ---- attaching ----

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

// ---- painting ----

void CImageButton::DrawItem(LPDRAWITEMSTRUCT drawItem) {
    if (drawItem == nullptr) {
        return;
    }
    CDC dc(drawItem->hDC);
    const BOOL selected = (drawItem->itemState & ODS_SELECTED) != 0;
    m_bPressed = m_bToggle ? (selected || m_nToggleState != 0) : selected;
    m_bFocused = (drawItem->itemState & ODS_FOCUS) != 0;
    m_bDisabled = (drawItem->itemState & ODS_DISABLED) != 0;

    CRect item(drawItem->rcItem);
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    if (m_bTransparentBack) {
        CopyParentBackground(dc);
    } else {
        PaintBackground(dc, item);
    }
    PaintBorder(dc, item);

    const CString text = GetWindowText();
    CRect caption(drawItem->rcItem);
    if (m_images[kSlotActive].bitmap) {
        dc.SetBkColor(RGB(255, 255, 255));
        PaintImage(dc, !text.IsEmpty(), CRect(drawItem->rcItem), caption, m_bPressed, m_bDisabled);
    }
    if (!text.IsEmpty()) {
        PaintCaption(dc, text, CRect(drawItem->rcItem), caption, m_bPressed, m_bDisabled);
    }
    if ((!m_bFlat || m_bFlatFocus) && m_bFocused) {
        CRect focus(item);
        focus.DeflateRect(3, 3);
        dc.DrawFocusRect(focus);
    }
    dc.SetBkMode(oldMode);
}

void CImageButton::CopyParentBackground(CDC& target) {
    CWnd* parent = GetParent();
    if (parent == nullptr) {
        return;
    }
    CClientDC parentDC(parent);
    CRect client;
    GetClientRect(&client);
    CRect window;
    GetWindowRect(&window);
    parent->ScreenToClient(&window);
    if (m_cacheDC.GetSafeHdc() == nullptr) {
        if (!m_cacheDC.CreateCompatibleDC(&parentDC)) {
            return;
        }
        if (!m_cacheBitmap.CreateCompatibleBitmap(&parentDC, client.Width(), client.Height())) {
            m_cacheDC.DeleteDC();
            return;
        }
        m_cachePrevious = m_cacheDC.SelectObject(m_cacheBitmap.GetSafeHandle());
        // The parent paints its background straight into the cache. What the screen shows
        // there may be this button's own earlier face or a window lying over the dialog, and
        // would stay in the cache for good; the screen is read only from a parent that does
        // not erase.
        const POINT origin = m_cacheDC.SetViewportOrg(-window.left, -window.top);
        const LRESULT erased = ::SendMessageA(parent->GetSafeHwnd(), WM_ERASEBKGND,
                                              reinterpret_cast<WPARAM>(m_cacheDC.GetSafeHdc()), 0);
        m_cacheDC.SetViewportOrg(origin.x, origin.y);
        if (erased == 0) {
            m_cacheDC.BitBlt(0, 0, client.Width(), client.Height(), &parentDC, window.left,
                             window.top, SRCCOPY);
        }
    }
    target.BitBlt(0, 0, client.Width(), client.Height(), &m_cacheDC, 0, 0, SRCCOPY);
}

int CImageButton::PaintBackground(CDC& dc, CRect& item) {
    if (!m_bFlat && (m_bFocused || m_bDefault)) {
        UniqueGdiObject black(::CreateSolidBrush(RGB(0, 0, 0)));
        dc.FrameRect(item, static_cast<HBRUSH>(black.get()));
        item.DeflateRect(1, 1);
    }
    COLORREF colour = m_crColours[COLOUR_BACK_NORMAL];
    if (m_bHover || m_bPressed) {
        colour = m_crColours[COLOUR_BACK_ACTIVE];
    } else if (m_bFocused) {
        colour = m_crColours[COLOUR_BACK_FOCUS];
    }
    UniqueGdiObject brush(::CreateSolidBrush(colour));
    dc.FillRect(item, static_cast<HBRUSH>(brush.get()));
    return 0;
}

int CImageButton::PaintBorder(CDC& dc, CRect& item) {
    const LONG l = item.left;
    const LONG t = item.top;
    const LONG r = item.right;
    const LONG b = item.bottom;
    if (m_bPressed) {
        if (m_bFlat) {
            if (m_bBorder) {
                dc.Draw3dRect(item, ::GetSysColor(COLOR_BTNSHADOW),
                              ::GetSysColor(COLOR_BTNHIGHLIGHT));
            }
        } else {
            dc.FrameRect(item, ::GetSysColorBrush(COLOR_BTNSHADOW));
        }
        return 0;
    }
    if (m_bFlat) {
        if (m_bHover && m_bBorder) {
            dc.Draw3dRect(item, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
        }
        return 0;
    }
    struct Line {
        int colour;
        std::array<POINT, 3> points;
    };
    const std::array<Line, 4> lines = {{
        {COLOR_BTNHIGHLIGHT, {{{l, b - 1}, {l, t}, {r, t}}}},
        {COLOR_3DLIGHT, {{{l + 1, b - 1}, {l + 1, t + 1}, {r, t + 1}}}},
        {COLOR_3DDKSHADOW, {{{l, b - 1}, {r - 1, b - 1}, {r - 1, t - 1}}}},
        {COLOR_BTNSHADOW, {{{l + 1, b - 2}, {r - 2, b - 2}, {r - 2, t}}}},
    }};
    for (const Line& line : lines) {
        UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(line.colour)));
        ScopedSelectObject select(dc, pen.get());
        dc.Polyline(line.points.data(), static_cast<int>(line.points.size()));
    }
    return 0;
}

void CImageButton::PaintIcon(CDC&, BOOL, const CRect&, CRect&, BOOL, BOOL) {}

int CImageButton::ChooseSlot() const {
    if (m_bPressed || (m_bHover && !m_bToggle)) {
        return kSlotActive;
    }
    if (m_bDisabled && m_images[kSlotDisabled].bitmap) {
        return kSlotDisabled;
    }
    return m_images[kSlotNormal].bitmap ? kSlotNormal : kSlotActive;
}

void CImageButton::PlaceImage(BOOL hasCaption, BOOL pressed, DWORD width, DWORD height,
                              const CRect& item, CRect& image, CRect& caption) const {
    image = item;
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    const int boxWidth = image.Width();
    const int boxHeight = image.Height();
    switch (m_nImageAlign) {
        case ALIGN_IMAGE_LEFT:
            if (hasCaption) {
                image.left += m_ptImageMargin.x;
                caption.left += w + m_ptImageMargin.x;
            } else {
                image.left += (boxWidth - w) / 2;
            }
            image.top += (boxHeight - h) / 2;
            break;
        case ALIGN_IMAGE_TOP:
            image.left += (boxWidth - w) / 2;
            if (hasCaption) {
                image.top = m_ptImageMargin.y;
                caption.top += h;
            } else {
                image.top += (boxHeight - h) / 2;
            }
            break;
        case ALIGN_IMAGE_RIGHT:
            if (hasCaption) {
                CRect client;
                GetClientRect(&client);
                caption.right = caption.Width() - w - m_ptImageMargin.x;
                caption.left = m_ptImageMargin.x;
                image.left = client.right - m_ptImageMargin.x - w;
                image.top += (boxHeight - h) / 2;
            } else {
                // Without a caption the image keeps to the top edge.
                image.left += (boxWidth - w) / 2;
            }
            break;
        default:
            break;
    }
    if (pressed && !m_bToggle) {
        image.OffsetRect(m_ptPushShift.x, m_ptPushShift.y);
    }
}

void CImageButton::PaintImage(CDC& dc, BOOL hasCaption, const CRect& item, CRect& caption,
                              BOOL pressed, BOOL disabled) {
    const ImageSlot& slot = m_images[static_cast<size_t>(ChooseSlot())];
    if (!slot.bitmap || !slot.mask) {
        return;
    }
    CRect image;
    PlaceImage(hasCaption, pressed, slot.width, slot.height, item, image, caption);
    const int w = static_cast<int>(slot.width);
    const int h = static_cast<int>(slot.height);

    CMemoryDC imageDC(&dc);
    CMemoryDC maskDC(&dc);
    if (imageDC.GetSafeHdc() == nullptr || maskDC.GetSafeHdc() == nullptr) {
        return;
    }
    ScopedSelectObject selectImage(imageDC, slot.bitmap.get());
    ScopedSelectObject selectMask(maskDC, slot.mask.get());
    // Monochrome to colour: 1 bits (key) become white and leave the target under AND, 0 bits
    // become black and clear it for the image's own pixels.
    const COLORREF oldText = dc.SetTextColor(RGB(0, 0, 0));
    const COLORREF oldBack = dc.SetBkColor(RGB(255, 255, 255));

    if (disabled && m_bUseDisabledLook && !m_images[kSlotDisabled].bitmap) {
        CMemoryDC workDC(&dc);
        UniqueGdiObject work(::CreateCompatibleBitmap(dc, w, h));
        if (workDC.GetSafeHdc() != nullptr && work) {
            {
                ScopedSelectObject selectWork(workDC, work.get());
                const CRect whole(0, 0, w, h);
                workDC.FillSolidRect(whole, RGB(255, 255, 255));
                workDC.SetBkColor(RGB(255, 255, 255));
                workDC.SetTextColor(RGB(0, 0, 0));
                workDC.BitBlt(0, 0, w, h, &maskDC, 0, 0, SRCAND);
                workDC.BitBlt(0, 0, w, h, &imageDC, 0, 0, SRCPAINT);
            }
            ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(work.get()), 0, image.left,
                         image.top, w, h, DST_BITMAP | DSS_DISABLED);
        }
    } else {
        dc.BitBlt(image.left, image.top, w, h, &maskDC, 0, 0, SRCAND);
        dc.BitBlt(image.left, image.top, w, h, &imageDC, 0, 0, SRCPAINT);
    }
    dc.SetTextColor(oldText);
    dc.SetBkColor(oldBack);
}

void CImageButton::PaintCaption(CDC& dc, const CString& text, const CRect&, CRect& caption,
                                BOOL pressed, BOOL disabled) {
    if (pressed && !m_bToggle) {
        caption.OffsetRect(m_ptPushShift.x, m_ptPushShift.y);
    }
    CRect centred(caption);
    dc.DrawText(text, centred, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    centred.OffsetRect(caption.left - centred.left + (caption.Width() - centred.Width()) / 2,
                       caption.top - centred.top + (caption.Height() - centred.Height()) / 2);
    dc.SetBkMode(TRANSPARENT);
    constexpr UINT kFormat = DT_WORDBREAK | DT_CENTER;
    if (disabled) {
        centred.OffsetRect(1, 1);
        dc.SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        dc.DrawText(text, centred, kFormat);
        centred.OffsetRect(-1, -1);
        dc.SetTextColor(::GetSysColor(COLOR_BTNSHADOW));
        dc.DrawText(text, centred, kFormat);
        return;
    }
    int textSlot = COLOUR_TEXT_NORMAL;
    int backSlot = COLOUR_BACK_NORMAL;
    if (m_bHover || pressed) {
        textSlot = COLOUR_TEXT_ACTIVE;
        backSlot = COLOUR_BACK_ACTIVE;
    } else if (m_bFocused) {
        textSlot = COLOUR_TEXT_FOCUS;
        backSlot = COLOUR_BACK_FOCUS;
    }
    dc.SetTextColor(m_crColours[static_cast<size_t>(textSlot)]);
    dc.SetBkColor(m_crColours[static_cast<size_t>(backSlot)]);
    dc.DrawText(text, centred, kFormat);
}

// ---- messages ----

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
