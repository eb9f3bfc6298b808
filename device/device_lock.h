// The one process-wide lock that guards every device session and the device link's ADS calls.
#pragma once

#include <mutex>

// Exists before any link is constructed. Never held while sleeping, waiting, pumping or
// posting; never taken twice by one operation.
extern std::mutex DeviceLock;
