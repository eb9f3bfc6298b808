// The window messages of the device link and the flash sequence; all are posted, never sent.
#pragma once

#include <cstdint>

inline constexpr uint32_t WM_FLASH_STEP = 0x471;    // WM_USER + 113; wParam = flash step
inline constexpr uint32_t WM_DEVICE_EVENT = 0x472;  // WM_USER + 114; wParam = kind, lParam = detail
inline constexpr uint32_t WM_DEVICE_CLOSED = 0x473;  // WM_USER + 115

// WM_DEVICE_EVENT kinds.
inline constexpr uintptr_t DEVEVT_STATE = 1;
inline constexpr uintptr_t DEVEVT_DETAIL = 3;
inline constexpr uintptr_t DEVEVT_LINK = 100;
inline constexpr uintptr_t DEVEVT_TIMEOUT = 101;
