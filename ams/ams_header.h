// The AMS/TCP wire format: the 6-byte AMS/TCP header and the 32-byte AMS header, with
// explicit encode and decode, shared by the ADS client, the flash sequence and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ams/ams_types.h"

namespace ams {

inline constexpr uint16_t kRouterTcpPort = 48898;  // 0xBF02
inline constexpr size_t kTcpHeaderSize = 6;
inline constexpr size_t kAmsHeaderSize = 32;
inline constexpr size_t kFrameHeaderSize = kTcpHeaderSize + kAmsHeaderSize;
static_assert(kFrameHeaderSize == 38);

// Larger frames are refused by readers: nothing in this system comes near it, and a length
// field from the wire must never size an allocation on its own.
inline constexpr uint32_t kMaxAmsLength = 64 * 1024;

// State flags.
inline constexpr uint16_t kFlagResponse = 0x0001;
inline constexpr uint16_t kFlagAdsCommand = 0x0004;
inline constexpr uint16_t kFlagUdp = 0x0040;

// ADS command ids.
inline constexpr uint16_t kCmdReadDeviceInfo = 1;
inline constexpr uint16_t kCmdRead = 2;
inline constexpr uint16_t kCmdWrite = 3;
inline constexpr uint16_t kCmdReadState = 4;
inline constexpr uint16_t kCmdWriteControl = 5;

struct AmsHeader {
    AmsAddr target{};
    AmsAddr source{};
    uint16_t commandId = 0;
    uint16_t stateFlags = 0;
    uint32_t dataLength = 0;
    uint32_t errorCode = 0;
    uint32_t invokeId = 0;
};

// Writes both headers into the first 38 bytes of `out`; the AMS/TCP length field becomes
// 32 + header.dataLength.
void EncodeFrameHeader(const AmsHeader& header, std::span<uint8_t, kFrameHeaderSize> out);

// A whole frame: the headers with dataLength = data.size(), then the data.
std::vector<uint8_t> EncodeFrame(AmsHeader header, std::span<const uint8_t> data);

enum class DecodeStatus {
    kOk,
    kTooShort,   // fewer bytes than the headers, or than the length fields claim
    kMalformed,  // reserved field not 0, AMS length below 32 or above kMaxAmsLength, or the
                 // AMS/TCP length and the AMS data length disagree
};

// Reads both headers from the start of `frame` without reading past it.
DecodeStatus DecodeFrameHeader(std::span<const uint8_t> frame, AmsHeader& header);

// For stream reassembly: given the bytes received so far, the total size of the first frame
// (6 + AMS length) once the AMS/TCP header is there. kTooShort until 6 bytes have arrived.
DecodeStatus PeekFrameSize(std::span<const uint8_t> received, size_t& frameSize);

// Decodes a complete frame: headers checked as above and `data` set to exactly dataLength
// bytes inside `frame`.
DecodeStatus DecodeFrame(std::span<const uint8_t> frame, AmsHeader& header,
                         std::span<const uint8_t>& data);

// The frame that answers `request`: addresses swapped, its command id and invoke id, the
// given state flags, error code and data.
std::vector<uint8_t> EncodeReply(const AmsHeader& request, uint16_t stateFlags, uint32_t errorCode,
                                 std::span<const uint8_t> data);

}  // namespace ams
