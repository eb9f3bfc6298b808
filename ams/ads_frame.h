// The data of the ADS commands this system uses (Read, Write, WriteControl, ReadState,
// ReadDeviceInfo): explicit little-endian encode and decode both ways, for the client and for
// the simulated controller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ams {

inline constexpr size_t kReadRequestSize = 12;         // group, offset, length
inline constexpr size_t kWriteRequestHeaderSize = 12;  // group, offset, length, then data
inline constexpr size_t kWriteControlHeaderSize = 8;   // ADS state, device state, length
inline constexpr size_t kResultSize = 4;
inline constexpr size_t kReadReplyHeaderSize = 8;  // result, length, then data
inline constexpr size_t kReadStateReplySize = 8;
inline constexpr size_t kDeviceNameSize = 16;
inline constexpr size_t kDeviceInfoReplySize = 8 + kDeviceNameSize;

struct ReadRequest {
    uint32_t indexGroup = 0;
    uint32_t indexOffset = 0;
    uint32_t length = 0;
};

struct WriteRequest {
    uint32_t indexGroup = 0;
    uint32_t indexOffset = 0;
    std::span<const uint8_t> data;
};

struct WriteControlRequest {
    uint16_t adsState = 0;
    uint16_t deviceState = 0;
    std::span<const uint8_t> data;
};

struct DeviceInfo {
    uint8_t major = 0;
    uint8_t minor = 0;
    uint16_t build = 0;
    std::string_view name;  // cut to kDeviceNameSize bytes on the wire
};

std::array<uint8_t, kReadRequestSize> EncodeReadRequest(const ReadRequest& request);
std::vector<uint8_t> EncodeWriteRequest(const WriteRequest& request);
std::vector<uint8_t> EncodeWriteControlRequest(const WriteControlRequest& request);

// False when the data is shorter than the request or its length field disagrees with the
// data that follows; decoded spans point into `data`.
bool DecodeReadRequest(std::span<const uint8_t> data, ReadRequest& request);
bool DecodeWriteRequest(std::span<const uint8_t> data, WriteRequest& request);
bool DecodeWriteControlRequest(std::span<const uint8_t> data, WriteControlRequest& request);

std::vector<uint8_t> EncodeResultReply(uint32_t result);
// A failed Read still carries a length (0), since some clients always read both fields.
std::vector<uint8_t> EncodeReadReply(uint32_t result, std::span<const uint8_t> data);
std::vector<uint8_t> EncodeReadStateReply(uint32_t result, uint16_t adsState, uint16_t deviceState);
std::vector<uint8_t> EncodeDeviceInfoReply(uint32_t result, const DeviceInfo& info);

// Client side. The ADS result of a Write or WriteControl reply, or
// ADSERR_CLIENT_INVALIDRESPONSE when the reply is too short to hold one.
int32_t DecodeResultReply(std::span<const uint8_t> reply);
// The ADS result of a Read reply. On 0 `out` holds the data; a reply whose length is not
// exactly out.size() or does not fit the reply is ADSERR_CLIENT_INVALIDRESPONSE and leaves
// `out` untouched, so a caller never takes stale bytes for PLC memory.
int32_t DecodeReadReply(std::span<const uint8_t> reply, std::span<uint8_t> out);
// The ADS result of a ReadState reply; on 0 the two states are set. A reply too short for them
// is ADSERR_CLIENT_INVALIDRESPONSE and leaves both untouched.
int32_t DecodeReadStateReply(std::span<const uint8_t> reply, uint16_t& adsState,
                             uint16_t& deviceState);

}  // namespace ams
