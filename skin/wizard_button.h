// The wizard's look on one of its image buttons, in the order the wizard applies it: the
// active and normal pictures, a transparent frameless face, the wizard's text colours, the
// image's place and the disabled picture. The wizard and the tests that stand in for it both
// call this one function.
#pragma once

#include <windows.h>

#include "skin/image_button.h"

// Loads the three bitmap resources of the program and hands them to `button`, which owns them
// from then on. Returns IMAGE_OK, or the first failure of the image setters.
int SkinWizardButton(CImageButton& button, UINT activeId, UINT normalId, UINT disabledId,
                     BYTE align);
