// The one injectable sleeper for the update run's fixed waits, so tests can shorten them.
#pragma once

#include <chrono>
#include <functional>

namespace platform {

using SleepFunction = std::function<void(std::chrono::milliseconds)>;

// Sleeps through the installed sleeper (the real one unless a test installed another).
void SleepFixed(std::chrono::milliseconds duration);

// Installs `sleeper` (empty = the real one) and returns the previous one.
SleepFunction SetFixedSleeper(SleepFunction sleeper);

// Restores the previous sleeper when it goes out of scope.
class ScopedFixedSleeper {
public:
    explicit ScopedFixedSleeper(SleepFunction sleeper)
        : previous_(SetFixedSleeper(std::move(sleeper))) {}
    ~ScopedFixedSleeper() { SetFixedSleeper(std::move(previous_)); }
    ScopedFixedSleeper(const ScopedFixedSleeper&) = delete;
    ScopedFixedSleeper& operator=(const ScopedFixedSleeper&) = delete;

private:
    SleepFunction previous_;
};

}  // namespace platform
