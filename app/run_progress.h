// Where the wizard's progress bar stands through one update run: the one table of its positions
// and of how the flash's steps map onto them.
#pragma once

#include "transfer/flash_steps.h"

// The bar runs from 0 to this over a whole update.
inline constexpr int PROGRESS_RANGE_MAX = 74;
// Positions 1 to 10 are set before the parameter reads, in the run's table of saved
// parameters; then the session is closed and the run settles.
inline constexpr int POSITION_CLOSING = 11;
inline constexpr int POSITION_SETTLING = 12;
// A flash step n moves the bar to n + FLASH_STEP_OFFSET: 13 to 64.
inline constexpr int FLASH_STEP_OFFSET = 12;
// The k-th write of the restore (k from 0) leaves the bar at this + k: 64 to 73, the first of
// them where the last flash step left it.
inline constexpr int POSITION_FIRST_RESTORED = FLASH_STEP_PLC_RUNNING + FLASH_STEP_OFFSET;
inline constexpr int RESTORED_PARAMETER_COUNT = 10;

static_assert(FLASH_STEP_START + FLASH_STEP_OFFSET == POSITION_SETTLING + 1,
              "the first flash step follows the settle wait");
static_assert(POSITION_FIRST_RESTORED + RESTORED_PARAMETER_COUNT == PROGRESS_RANGE_MAX,
              "the bar is full once the last parameter is restored and the session closed");
