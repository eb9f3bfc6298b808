// The device link's one way of waiting on the user-interface thread: a short poll that keeps
// the thread's window messages moving, so the wizard stays painted while it waits.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>

namespace device {

// Looks at `done` every poll pause, moving one pending window message between looks, until it
// holds or `giveUp` has passed (measured on the monotonic clock). True when it held in time.
bool WaitMovingQueue(const std::function<bool()>& done,
                     std::chrono::steady_clock::time_point giveUp);

// Takes DeviceLock on the user-interface thread. The polling worker holds it for the length of
// an ADS call (up to the call's time-out); meanwhile the thread's window messages keep moving.
std::unique_lock<std::mutex> LockMovingQueue();

}  // namespace device
