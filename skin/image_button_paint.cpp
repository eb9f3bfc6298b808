// The image button's painting: the parent's pixels beneath it, the frame, the image chosen by
// the state, and the caption in the state's colour.
#include "skin/image_button.h"

#include "framework/client_dc.h"
#include "framework/memory_dc.h"
#include "framework/scoped_select_object.h"

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
        m_cacheSelection.emplace(m_cacheDC, m_cacheBitmap.GetSafeHandle());
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
