// The device link's and the flash's time limits, read through accessors that one test hook
// can shorten all together; the update run's worst case is a sum of these terms.
#pragma once

#include <chrono>

namespace device {

// Every synchronous ADS call (a session's, the flash's STOP and RUN, a PLC state read) gives
// up after this long; so does each blocking call of the download connection.
inline constexpr std::chrono::milliseconds kAdsCallTimeout{2000};
// A mailbox request unanswered for this long is given up (measured on a monotonic clock).
inline constexpr std::chrono::milliseconds kExchangeTimeLimit{10000};
// How long Shutdown (and a Connect that follows an ending session) waits for a polling
// worker to end.
inline constexpr std::chrono::milliseconds kWorkerEndWait{10000};
// After the flash's last frame, how long the controller may stay quiet before RUN is sent.
inline constexpr std::chrono::milliseconds kFlashQuietLimit{3000};
// The flash's whole download, from the connection to the last frame.
inline constexpr std::chrono::milliseconds kFlashDownloadLimit{75000};
// The pause of the polling worker and of a waiting exchange between two looks.
inline constexpr std::chrono::milliseconds kPollPause{1};

// Every limit at once, for a test that shortens them together.
struct DeviceTiming {
    std::chrono::milliseconds adsCallTimeout = kAdsCallTimeout;
    std::chrono::milliseconds exchangeTimeLimit = kExchangeTimeLimit;
    std::chrono::milliseconds workerEndWait = kWorkerEndWait;
    std::chrono::milliseconds flashQuietLimit = kFlashQuietLimit;
    std::chrono::milliseconds flashDownloadLimit = kFlashDownloadLimit;
};

// The limits in force: the constants above unless a test has shortened them.
std::chrono::milliseconds AdsCallTimeout();
std::chrono::milliseconds ExchangeTimeLimit();
std::chrono::milliseconds WorkerEndWait();
std::chrono::milliseconds FlashQuietLimit();
std::chrono::milliseconds FlashDownloadLimit();
DeviceTiming CurrentDeviceTiming();

// Test hook: replaces the limits process-wide for as long as it lives, so time-out tests need
// not take seconds each. The program itself never uses it.
class ScopedDeviceTimingForTesting {
public:
    explicit ScopedDeviceTimingForTesting(const DeviceTiming& timing);
    // Shortens only the exchange limit and the worker wait; the others stay as they were.
    ScopedDeviceTimingForTesting(std::chrono::milliseconds exchangeTimeLimit,
                                 std::chrono::milliseconds workerEndWait);
    ~ScopedDeviceTimingForTesting();
    ScopedDeviceTimingForTesting(const ScopedDeviceTimingForTesting&) = delete;
    ScopedDeviceTimingForTesting& operator=(const ScopedDeviceTimingForTesting&) = delete;

private:
    DeviceTiming previous_;
};

}  // namespace device
