// The one firmware image the wizard installs, built into the program's read-only data and sent
// to the controller unchanged in records of kFirmwareChunkSize bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// One record of the controller's firmware download: the data of one 0x5006 frame.
inline constexpr size_t kFirmwareChunkSize = 2060;
// The records of the download; the build refuses an image of any other length.
inline constexpr size_t kFirmwareRecordCount = 39;

// The whole image: contiguous, read-only, present for the life of the process, exactly
// kFirmwareRecordCount records of kFirmwareChunkSize bytes.
std::span<const uint8_t> FirmwareImage();
