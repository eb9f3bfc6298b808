#include "tests/unit/device/recording_window.h"

#ifdef _WIN32
#include <windows.h>

#include <memory>
#endif

namespace corvane::test {

#ifdef _WIN32

namespace {

constexpr const char* kClassName = "CorvaneDeviceTestWindow";

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* handler = reinterpret_cast<WindowHandler*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        std::unique_ptr<WindowHandler> owned(handler);
    } else if (handler != nullptr && message >= WM_USER) {
        (*handler)(platform::WindowMessage{hwnd, message, wParam, lParam});
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterOnce() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        return ::RegisterClassA(&wc) != 0;
    }();
    (void)registered;
}

}  // namespace

platform::WindowHandle CreateRecordingWindow(WindowHandler onDispatch) {
    RegisterOnce();
    auto handler = std::make_unique<WindowHandler>(std::move(onDispatch));
    HWND hwnd = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), handler.get());
    if (hwnd != nullptr) {
        handler.release();  // the window owns it until WM_NCDESTROY
    }
    return hwnd;
}

void DestroyRecordingWindow(platform::WindowHandle window) {
    if (window != nullptr) {
        ::DestroyWindow(static_cast<HWND>(window));
    }
}

#else

platform::WindowHandle CreateRecordingWindow(WindowHandler onDispatch) {
    return platform::CreateTestWindow(std::move(onDispatch));
}

void DestroyRecordingWindow(platform::WindowHandle window) {
    platform::DestroyTestWindow(window);
}

#endif

}  // namespace corvane::test
