#include "device/queue_wait.h"

#include <thread>

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

}  // namespace device
