// A window of the calling thread that hands every message dispatched to it to a handler: the
// stand-in window on POSIX, a message-only window on Windows.
#pragma once

#include <functional>

#include "platform/window_message.h"

namespace corvane::test {

using WindowHandler = std::function<void(const platform::WindowMessage&)>;

platform::WindowHandle CreateRecordingWindow(WindowHandler onDispatch);
void DestroyRecordingWindow(platform::WindowHandle window);

}  // namespace corvane::test
