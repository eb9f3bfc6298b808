// The logical palette of a picture of 8 or fewer bits per pixel, made from its colour table.
#pragma once

#include "framework/palette.h"

class CDIBitmap;

class CBmpPalette : public CPalette {
public:
    explicit CBmpPalette(const CDIBitmap& picture);
};
