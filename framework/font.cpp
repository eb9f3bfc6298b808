#include "framework/font.h"

#include "framework/dc.h"

#include <cstdlib>
#include <cstring>

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont) {
    if (logFont == nullptr) {
        return FALSE;
    }
    return Attach(::CreateFontIndirectA(logFont));
}

BOOL CFont::CreatePointFont(int pointSize, const char* faceName, CDC* dc) {
    LOGFONTA logFont{};
    logFont.lfCharSet = DEFAULT_CHARSET;
    logFont.lfHeight = pointSize;
    if (faceName != nullptr) {
        std::strncpy(logFont.lfFaceName, faceName, LF_FACESIZE - 1);
    }
    return CreatePointFontIndirect(&logFont, dc);
}

BOOL CFont::CreatePointFontIndirect(const LOGFONTA* logFont, CDC* dc) {
    if (logFont == nullptr) {
        return FALSE;
    }
    HDC screen = nullptr;
    HDC target = dc != nullptr ? dc->GetSafeHdc() : nullptr;
    if (target == nullptr) {
        screen = ::GetDC(nullptr);
        target = screen;
    }
    // lfHeight arrives in tenths of a point; a negative height asks for the character height
    // in the target's logical units, independent of internal leading.
    LOGFONTA scaled = *logFont;
    POINT height{0, ::MulDiv(::GetDeviceCaps(target, LOGPIXELSY), logFont->lfHeight, 720)};
    POINT origin{0, 0};
    ::DPtoLP(target, &height, 1);
    ::DPtoLP(target, &origin, 1);
    scaled.lfHeight = -std::abs(height.y - origin.y);
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return CreateFontIndirect(&scaled);
}

int CFont::GetLogFont(LOGFONTA* logFont) const {
    return GetObject(sizeof(LOGFONTA), logFont);
}
