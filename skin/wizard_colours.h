// The wizard's three colours, as the platform's 0x00BBGGRR values.
#pragma once

#include <windows.h>

// Every label, check-box and button text; the heading between runs.
inline constexpr COLORREF CLR_WIZARD_TEXT = RGB(240, 240, 240);
// Button text under the pointer or pressed; the heading after a failed update.
inline constexpr COLORREF CLR_WIZARD_HOVER = RGB(236, 203, 19);
// The heading after a successful update.
inline constexpr COLORREF CLR_WIZARD_SUCCESS = RGB(0, 210, 0);
