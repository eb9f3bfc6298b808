#include <windows.h>

#include <condition_variable>
#include <mutex>

#include "sim/stop_signal.h"

namespace sim {
namespace {

std::mutex g_mutex;
std::condition_variable g_stopped;
bool g_stopRequested = false;

BOOL WINAPI OnConsoleControl(DWORD) {
    {
        std::lock_guard lock(g_mutex);
        g_stopRequested = true;
    }
    g_stopped.notify_all();
    return TRUE;
}

}  // namespace

void PrepareStopSignal() {
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void WaitForStopSignal() {
    std::unique_lock lock(g_mutex);
    g_stopped.wait(lock, [] { return g_stopRequested; });
}

}  // namespace sim
