// A static control (text or picture) bound to its dialog's control.
#pragma once

#include "framework/wnd.h"

class CStatic : public CWnd {
public:
    // Shows `bitmap` in an SS_BITMAP control; returns the bitmap shown before.
    HBITMAP SetBitmap(HBITMAP bitmap) {
        return reinterpret_cast<HBITMAP>(
            SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
    HBITMAP GetBitmap() const {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_GETIMAGE, IMAGE_BITMAP));
    }
};
