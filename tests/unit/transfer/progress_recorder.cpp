#include "tests/unit/transfer/progress_recorder.h"

#include "device/device_messages.h"
#include "device/notify_progress.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane::test {

#ifdef _WIN32
namespace {

constexpr char kClassName[] = "CorvaneTransferProgressRecorder";

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message >= WM_USER) {
        if (auto* recorder =
                reinterpret_cast<ProgressRecorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
            recorder->OnMessage(message, wParam, lParam);
            return 0;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND CreateRecorderWindow(ProgressRecorder* recorder) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);  // fails harmlessly when a previous recorder registered it
    return CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                           recorder);
}

}  // namespace
#endif

ProgressRecorder::ProgressRecorder(bool setAsProgressWindow, std::function<void(int)> onStep)
    : onStep_(std::move(onStep)) {
#ifdef _WIN32
    window_ = CreateRecorderWindow(this);
#else
    window_ = platform::CreateTestWindow(
        [this](const platform::WindowMessage& m) { OnMessage(m.message, m.wParam, m.lParam); });
#endif
    ProgressWindow = setAsProgressWindow ? window_ : nullptr;
}

ProgressRecorder::~ProgressRecorder() {
    ProgressWindow = nullptr;
#ifdef _WIN32
    DestroyWindow(static_cast<HWND>(window_));
#else
    platform::DestroyTestWindow(window_);
#endif
}

void ProgressRecorder::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message != WM_FLASH_STEP || lParam != 0) {
        ++unexpected_;
        return;
    }
    steps_.push_back(static_cast<int>(wParam));
    if (onStep_) {
        onStep_(static_cast<int>(wParam));
    }
}

}  // namespace corvane::test
