#include "device/queue_wait.h"

#include <thread>

#include "device/device_lock.h"
#include "device/device_timing.h"
#include "platform/window_message.h"

namespace device {

bool WaitMovingQueue(const std::function<bool()>& done,
                     std::chrono::steady_clock::time_point giveUp) {
    for (;;) {
        if (done()) {
            return true;
        }
        if (platform::HasPendingMessage()) {
            platform::PumpOneMessage();
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(kPollPause);
    }
}

std::unique_lock<std::mutex> LockMovingQueue() {
    std::unique_lock lock(DeviceLock, std::defer_lock);
    WaitMovingQueue([&lock] { return lock.try_lock(); },
                    std::chrono::steady_clock::time_point::max());
    return lock;
}

}  // namespace device
