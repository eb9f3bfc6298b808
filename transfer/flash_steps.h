// The progress steps the flash reports to the wizard, in the order it reports them: the one
// place they are numbered. Step 48 is never reported.
#pragma once

#include "transfer/firmware_image.h"

inline constexpr int FLASH_STEP_START = 1;           // before anything is sent
inline constexpr int FLASH_STEP_PLC_STOPPED = 2;     // after the STOP request
inline constexpr int FLASH_STEP_CONNECTED = 3;       // download connection and source address
inline constexpr int FLASH_STEP_FIRST_COMMAND = 4;   // 4 to 8: the five command frames
inline constexpr int FLASH_STEP_FIRST_RECORD = 9;    // 9 to 47: image record k reports 9 + k
inline constexpr int FLASH_STEP_FIRST_CLOSING = 49;  // 49 to 51: the three closing frames
inline constexpr int FLASH_STEP_PLC_RUNNING = 52;    // after the RUN request; the last

static_assert(FLASH_STEP_FIRST_RECORD + static_cast<int>(kFirmwareRecordCount) == 48,
              "the image records' steps end just before the unreported step 48");
