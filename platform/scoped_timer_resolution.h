// Finer system timer ticks for as long as it lives, so the link's and the frame exchange's 1 ms
// waits last about 1 ms on Windows instead of a whole default tick (about 15 ms). Elsewhere the
// sleeps are already that fine and it does nothing.
#pragma once

#include <chrono>

namespace platform {

class ScopedTimerResolution {
public:
    explicit ScopedTimerResolution(std::chrono::milliseconds period = std::chrono::milliseconds{1});
    ~ScopedTimerResolution();
    ScopedTimerResolution(const ScopedTimerResolution&) = delete;
    ScopedTimerResolution& operator=(const ScopedTimerResolution&) = delete;

private:
    // What was raised, to be given back; 0 = nothing (always, where there is nothing to raise).
    [[maybe_unused]] unsigned period_ = 0;
};

}  // namespace platform
