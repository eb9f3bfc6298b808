// A window that records the WM_FLASH_STEP messages the flash posts: set as ProgressWindow
// while it lives (or not, to show that nothing is posted without one).
#pragma once

#include <functional>
#include <vector>

#include "platform/window_message.h"

namespace corvane::test {

class ProgressRecorder {
public:
    // `onStep` runs on the flash's thread as each step is dispatched.
    explicit ProgressRecorder(bool setAsProgressWindow = true,
                              std::function<void(int)> onStep = {});
    ~ProgressRecorder();
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    const std::vector<int>& Steps() const { return steps_; }
    // Messages other than WM_FLASH_STEP, or steps posted with an lParam other than 0.
    int Unexpected() const { return unexpected_; }

    // Called by the window with every message dispatched to it.
    void OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

private:
    platform::WindowHandle window_ = nullptr;
    std::function<void(int)> onStep_;
    std::vector<int> steps_;
    int unexpected_ = 0;
};

}  // namespace corvane::test
