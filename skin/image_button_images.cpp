// The image button's pictures: filling and releasing the three image slots, and the mask that
// lets each picture be drawn transparently against the key colour.
#include "skin/image_button.h"

#include "framework/memory_dc.h"
#include "framework/scoped_select_object.h"

namespace {

bool IsSpecialImage(HBITMAP bitmap) {
    return bitmap == IMAGE_AUTO_GREY || bitmap == IMAGE_AUTO_DARK;
}

}  // namespace

int CImageButton::SetImages(HBITMAP active, HBITMAP normal) {
    ReleaseImages();
    // Both handles are ours from here on, so every way out below releases them. One bitmap
    // given for both is held once, in slot 0: its mask blackens its key pixels, so it could
    // not serve as a second image anyway, and slot 0 is drawn in every state.
    UniqueGdiObject ownedNormal(IsSpecialImage(normal) || normal == active ? nullptr : normal);
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
