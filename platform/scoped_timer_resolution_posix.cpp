#include "platform/scoped_timer_resolution.h"

namespace platform {

ScopedTimerResolution::ScopedTimerResolution(std::chrono::milliseconds) {}

ScopedTimerResolution::~ScopedTimerResolution() = default;

}  // namespace platform
