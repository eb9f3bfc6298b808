// The one process-wide lock that guards every device session and the device link's ADS calls.
#pragma once

#include <mutex>

// Constant-initialised, so it exists before any code of the program runs and cannot fail to
// be created. Never held while sleeping, waiting, pumping or posting; never taken twice.
extern std::mutex DeviceLock;
