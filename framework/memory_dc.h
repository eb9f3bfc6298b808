// An owned memory DC compatible with another DC (or the screen), deleted on destruction.
#pragma once

#include "framework/dc.h"

class CMemoryDC : public CDC {
public:
    explicit CMemoryDC(CDC* compatibleWith = nullptr) { CreateCompatibleDC(compatibleWith); }
};
