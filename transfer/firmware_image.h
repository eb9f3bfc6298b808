// The one firmware image the wizard installs, built into the program's read-only data and sent
// to the controller unchanged in records of kFirmwareChunkSize bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// One record of the controller's firmware download: the data of one 0x5006 frame.
inline constexpr size_t kFirmwareChunkSize = 2060;

// The whole image: contiguous, read-only, present for the life of the process, its length a
// whole multiple of kFirmwareChunkSize (the build refuses any other image).
std::span<const uint8_t> FirmwareImage();
