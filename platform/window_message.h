// Posting and pumping window messages: the real Win32 queue on Windows, a small per-thread
// queue elsewhere that tests can read.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

using WindowHandle = void*;  // an HWND on Windows

struct WindowMessage {
    WindowHandle window = nullptr;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Posts (never sends) a message to `window`'s thread; false when the window is null or gone.
bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Whether a message waits in the calling thread's queue (looked at, not removed).
bool HasPendingMessage();
// Retrieves and dispatches one message of the calling thread through the thread's pump (see
// SetThreadMessagePump); false when none was waiting.
bool PumpOneMessage();
// Pumps one message after another until the calling thread's queue is empty.
void PumpAllMessages();

// How a thread's pump retrieves and dispatches one message; false when none was waiting. The
// application framework installs the one its modal loop uses, pre-translation and the dialog
// manager's keyboard handling included, for as long as that loop runs: a wait that moves the
// queue from inside a handler then treats user input as the dialog itself would.
using MessagePump = bool (*)();
// Installs `pump` for the calling thread (nullptr: the plain pump) and returns the one it
// replaces.
MessagePump SetThreadMessagePump(MessagePump pump);
// Retrieves, translates and dispatches one message with nothing before: the pump of a thread
// that installed none.
bool PumpOnePlainMessage();

#ifndef _WIN32
// A stand-in window owned by the calling thread; messages posted to it are queued for that
// thread and handed to `onDispatch` when pumped there.
using MessageHandler = std::function<void(const WindowMessage&)>;
WindowHandle CreateTestWindow(MessageHandler onDispatch = {});
void DestroyTestWindow(WindowHandle window);
#endif

}  // namespace platform
