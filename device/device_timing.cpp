#include "device/device_timing.h"

#include <atomic>
#include <cstdint>

namespace device {
namespace {

constinit std::atomic<int64_t> g_adsCallTimeoutMs{kAdsCallTimeout.count()};
constinit std::atomic<int64_t> g_exchangeTimeLimitMs{kExchangeTimeLimit.count()};
constinit std::atomic<int64_t> g_workerEndWaitMs{kWorkerEndWait.count()};
constinit std::atomic<int64_t> g_flashQuietLimitMs{kFlashQuietLimit.count()};
constinit std::atomic<int64_t> g_flashDownloadLimitMs{kFlashDownloadLimit.count()};

std::chrono::milliseconds Load(const std::atomic<int64_t>& limit) {
    return std::chrono::milliseconds{limit.load()};
}

void Store(const DeviceTiming& timing) {
    g_adsCallTimeoutMs.store(timing.adsCallTimeout.count());
    g_exchangeTimeLimitMs.store(timing.exchangeTimeLimit.count());
    g_workerEndWaitMs.store(timing.workerEndWait.count());
    g_flashQuietLimitMs.store(timing.flashQuietLimit.count());
    g_flashDownloadLimitMs.store(timing.flashDownloadLimit.count());
}

DeviceTiming WithWaits(std::chrono::milliseconds exchangeTimeLimit,
                       std::chrono::milliseconds workerEndWait) {
    DeviceTiming timing = CurrentDeviceTiming();
    timing.exchangeTimeLimit = exchangeTimeLimit;
    timing.workerEndWait = workerEndWait;
    return timing;
}

}  // namespace

std::chrono::milliseconds AdsCallTimeout() {
    return Load(g_adsCallTimeoutMs);
}

std::chrono::milliseconds ExchangeTimeLimit() {
    return Load(g_exchangeTimeLimitMs);
}

std::chrono::milliseconds WorkerEndWait() {
    return Load(g_workerEndWaitMs);
}

std::chrono::milliseconds FlashQuietLimit() {
    return Load(g_flashQuietLimitMs);
}

std::chrono::milliseconds FlashDownloadLimit() {
    return Load(g_flashDownloadLimitMs);
}

DeviceTiming CurrentDeviceTiming() {
    return DeviceTiming{AdsCallTimeout(), ExchangeTimeLimit(), WorkerEndWait(), FlashQuietLimit(),
                        FlashDownloadLimit()};
}

ScopedDeviceTimingForTesting::ScopedDeviceTimingForTesting(const DeviceTiming& timing)
    : previous_(CurrentDeviceTiming()) {
    Store(timing);
}

ScopedDeviceTimingForTesting::ScopedDeviceTimingForTesting(
    std::chrono::milliseconds exchangeTimeLimit, std::chrono::milliseconds workerEndWait)
    : ScopedDeviceTimingForTesting(WithWaits(exchangeTimeLimit, workerEndWait)) {}

ScopedDeviceTimingForTesting::~ScopedDeviceTimingForTesting() {
    Store(previous_);
}

}  // namespace device
