// A GDI logical palette.
#pragma once

#include "framework/gdi_object.h"

class CPalette : public CGdiObject {
public:
    BOOL CreatePalette(const LOGPALETTE* logPalette) {
        return logPalette != nullptr ? Attach(::CreatePalette(logPalette)) : FALSE;
    }
    int GetEntryCount() const {
        WORD count = 0;
        return GetObject(sizeof(count), &count) != 0 ? count : 0;
    }

    operator HPALETTE() const {
        return static_cast<HPALETTE>(GetSafeHandle());
    }  // NOLINT: implicit
};
