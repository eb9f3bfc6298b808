// The device link's time limits, with a small hook through which tests shorten them.
#pragma once

#include <chrono>

namespace device {

// Every synchronous ADS call of a session gives up after this long.
inline constexpr std::chrono::milliseconds kAdsCallTimeout{2000};
// A mailbox request unanswered for this long is given up (measured on a monotonic clock).
inline constexpr std::chrono::milliseconds kExchangeTimeLimit{10000};
// How long Shutdown (and a Connect that follows an ending session) waits for a polling
// worker to end.
inline constexpr std::chrono::milliseconds kWorkerEndWait{10000};
// The pause of the polling worker and of a waiting exchange between two looks.
inline constexpr std::chrono::milliseconds kPollPause{1};

// The limits in force: the constants above unless a test has shortened them.
std::chrono::milliseconds ExchangeTimeLimit();
std::chrono::milliseconds WorkerEndWait();
inline std::chrono::milliseconds AdsCallTimeout() { return kAdsCallTimeout; }  // SHIM

// Test hook: shortens the exchange limit and the worker wait process-wide for as long as it
// lives, so time-out tests need not take ten seconds each. The program itself never uses it.
class ScopedDeviceTimingForTesting {
public:
    ScopedDeviceTimingForTesting(std::chrono::milliseconds exchangeTimeLimit,
                                 std::chrono::milliseconds workerEndWait);
    ~ScopedDeviceTimingForTesting();
    ScopedDeviceTimingForTesting(const ScopedDeviceTimingForTesting&) = delete;
    ScopedDeviceTimingForTesting& operator=(const ScopedDeviceTimingForTesting&) = delete;

private:
    std::chrono::milliseconds previousExchangeTimeLimit_;
    std::chrono::milliseconds previousWorkerEndWait_;
};

}  // namespace device
