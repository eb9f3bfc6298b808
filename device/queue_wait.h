// The device link's one way of waiting on the user-interface thread: a short poll that keeps
// the thread's window messages moving, so the wizard stays painted while it waits.
#pragma once

#include <chrono>
#include <functional>

namespace device {

// Looks at `done` every poll pause, moving one pending window message between looks, until it
// holds or `giveUp` has passed (measured on the monotonic clock). True when it held in time.
bool WaitMovingQueue(const std::function<bool()>& done,
                     std::chrono::steady_clock::time_point giveUp);

}  // namespace device
