#include "device/device_timing.h"

#include <atomic>
#include <cstdint>

namespace device {
namespace {

constinit std::atomic<int64_t> g_exchangeTimeLimitMs{kExchangeTimeLimit.count()};
constinit std::atomic<int64_t> g_workerEndWaitMs{kWorkerEndWait.count()};

}  // namespace

std::chrono::milliseconds ExchangeTimeLimit() {
    return std::chrono::milliseconds{g_exchangeTimeLimitMs.load()};
}

std::chrono::milliseconds WorkerEndWait() {
    return std::chrono::milliseconds{g_workerEndWaitMs.load()};
}

ScopedDeviceTimingForTesting::ScopedDeviceTimingForTesting(
    std::chrono::milliseconds exchangeTimeLimit, std::chrono::milliseconds workerEndWait)
    : previousExchangeTimeLimit_(ExchangeTimeLimit()), previousWorkerEndWait_(WorkerEndWait()) {
    g_exchangeTimeLimitMs.store(exchangeTimeLimit.count());
    g_workerEndWaitMs.store(workerEndWait.count());
}

ScopedDeviceTimingForTesting::~ScopedDeviceTimingForTesting() {
    g_exchangeTimeLimitMs.store(previousExchangeTimeLimit_.count());
    g_workerEndWaitMs.store(previousWorkerEndWait_.count());
}

}  // namespace device
