#include "platform/scoped_timer_resolution.h"

#include <windows.h>
#include <timeapi.h>

namespace platform {

ScopedTimerResolution::ScopedTimerResolution(std::chrono::milliseconds period) {
    const auto wanted = static_cast<unsigned>(period.count());
    // Only a request Windows granted is ended again: the requests are counted system-wide.
    if (wanted > 0 && ::timeBeginPeriod(wanted) == TIMERR_NOERROR) {
        period_ = wanted;
    }
}

ScopedTimerResolution::~ScopedTimerResolution() {
    if (period_ != 0) {
        ::timeEndPeriod(period_);
    }
}

}  // namespace platform
