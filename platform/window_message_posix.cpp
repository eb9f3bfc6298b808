#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/window_message.h"

namespace platform {
namespace {

struct TestWindow {
    std::thread::id owner;
    MessageHandler onDispatch;
};

std::mutex g_mutex;
std::map<WindowHandle, std::shared_ptr<TestWindow>> g_windows;
std::map<std::thread::id, std::deque<WindowMessage>> g_queues;
uintptr_t g_nextHandle = 0x1000;

}  // namespace

WindowHandle CreateTestWindow(MessageHandler onDispatch) {
    std::lock_guard lock(g_mutex);
    auto* handle = reinterpret_cast<WindowHandle>(g_nextHandle += 0x10);
    g_windows[handle] =
        std::make_shared<TestWindow>(TestWindow{std::this_thread::get_id(), std::move(onDispatch)});
    return handle;
}

void DestroyTestWindow(WindowHandle window) {
    std::lock_guard lock(g_mutex);
    g_windows.erase(window);
}

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard lock(g_mutex);
    const auto it = g_windows.find(window);
    if (window == nullptr || it == g_windows.end()) {
        return false;
    }
    g_queues[it->second->owner].push_back(WindowMessage{window, message, wParam, lParam});
    return true;
}

bool HasPendingMessage() {
    std::lock_guard lock(g_mutex);
    const auto it = g_queues.find(std::this_thread::get_id());
    return it != g_queues.end() && !it->second.empty();
}

bool PumpOnePlainMessage() {
    WindowMessage msg;
    std::shared_ptr<TestWindow> target;
    {
        std::lock_guard lock(g_mutex);
        const auto it = g_queues.find(std::this_thread::get_id());
        if (it == g_queues.end() || it->second.empty()) {
            return false;
        }
        msg = it->second.front();
        it->second.pop_front();
        if (const auto w = g_windows.find(msg.window); w != g_windows.end()) {
            target = w->second;
        }
    }
    // Dispatched outside the lock: a handler may post again.
    if (target && target->onDispatch) {
        target->onDispatch(msg);
    }
    return true;
}

}  // namespace platform
