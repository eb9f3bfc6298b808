// Fixed values of the wizard that both its dialog and its update run use.
#pragma once

// The firmware version that the embedded image installs.
inline constexpr float TARGET_FIRMWARE_VERSION = 3.3f;
// The progress bar runs from 0 to this over a whole update.
inline constexpr int PROGRESS_RANGE_MAX = 74;
// A flash step n moves the progress bar to n + FLASH_STEP_OFFSET.
inline constexpr int FLASH_STEP_OFFSET = 12;
