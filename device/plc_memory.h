// The PLC flag-memory areas that the device link mirrors, and the layout of the status block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/little_endian.h"

namespace device {

// Flag memory (%M) of the PLC runtime on AMS port 800; offsets are byte offsets into it.
inline constexpr uint32_t kPlcMemoryIndexGroup = 0x4020;
inline constexpr uint32_t kCommandBlockOffset = 100;
inline constexpr uint32_t kResponseBlockOffset = 132;
inline constexpr uint32_t kStatusBlockOffset = 164;

inline constexpr size_t kMailboxBlockSize = 32;
inline constexpr size_t kStatusBlockSize = 28;
// The worker reads response and status together: offsets 132 to 191.
inline constexpr size_t kPollReadSize = kMailboxBlockSize + kStatusBlockSize;
static_assert(kResponseBlockOffset + kMailboxBlockSize == kStatusBlockOffset);
static_assert(kPollReadSize == 60);

using StatusBlock = std::array<uint8_t, kStatusBlockSize>;

// Status block: state word (signed 16-bit) at 0, detail word (signed 16-bit) at 2, error
// code (32-bit, 0 = no error) at 4; the rest is not interpreted.
inline int16_t StateWord(const StatusBlock& status) {
    return static_cast<int16_t>(common::LoadLe16(status, 0));
}
inline int16_t DetailWord(const StatusBlock& status) {
    return static_cast<int16_t>(common::LoadLe16(status, 2));
}
inline uint32_t StatusErrorCode(const StatusBlock& status) {
    return common::LoadLe32(status, 4);
}

// The state word that marks the device busy: parameter writes are refused while it shows.
inline constexpr int16_t kDeviceStateBusy = 2;

}  // namespace device
