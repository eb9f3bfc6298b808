// Fixed values of the wizard that both its dialog and its update run use.
#pragma once

#include "app/run_progress.h"

// The firmware version that the embedded image installs.
inline constexpr float TARGET_FIRMWARE_VERSION = 3.3f;
