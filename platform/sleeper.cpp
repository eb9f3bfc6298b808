#include "platform/sleeper.h"

#include <mutex>
#include <thread>

namespace platform {
namespace {

std::mutex g_mutex;
SleepFunction g_sleeper;

}  // namespace

void SleepFixed(std::chrono::milliseconds duration) {
    SleepFunction sleeper;
    {
        std::lock_guard lock(g_mutex);
        sleeper = g_sleeper;
    }
    if (sleeper) {
        sleeper(duration);
    } else {
        std::this_thread::sleep_for(duration);
    }
}

SleepFunction SetFixedSleeper(SleepFunction sleeper) {
    std::lock_guard lock(g_mutex);
    std::swap(g_sleeper, sleeper);
    return sleeper;
}

}  // namespace platform
