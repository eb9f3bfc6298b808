#include "skin/wizard_button.h"

#include "skin/wizard_colours.h"

namespace {

HBITMAP LoadProgramBitmap(UINT id) {
    return static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                             IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

}  // namespace

int SkinWizardButton(CImageButton& button, UINT activeId, UINT normalId, UINT disabledId,
                     BYTE align) {
    const int images = button.SetImages(LoadProgramBitmap(activeId), LoadProgramBitmap(normalId));
    button.SetTransparentBack(TRUE);
    button.SetBorderDrawn(FALSE);
    button.SetStateColour(COLOUR_TEXT_NORMAL, CLR_WIZARD_TEXT);
    button.SetStateColour(COLOUR_TEXT_FOCUS, CLR_WIZARD_TEXT);
    button.SetStateColour(COLOUR_TEXT_ACTIVE, CLR_WIZARD_HOVER);
    if (align != button.GetImageAlign()) {
        button.SetImageAlign(align);
    }
    const int disabled = button.SetDisabledImage(disabledId);
    return images != IMAGE_OK ? images : disabled;
}
