#include <windows.h>

#include "platform/window_message.h"

namespace platform {

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (window == nullptr) {
        return false;
    }
    return ::PostMessageA(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

bool HasPendingMessage() {
    MSG msg;
    return ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
}

bool PumpOnePlainMessage() {
    MSG msg;
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (msg.message == WM_QUIT) {
        // Leave the quit request for the modal loop that owns it.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
    return true;
}

}  // namespace platform
