#include "ams/ads_frame.h"

#include <algorithm>

#include "common/little_endian.h"
#include "ams/ads_codes.h"

namespace ams {

using common::LoadLe16;
using common::LoadLe32;
using common::StoreLe16;
using common::StoreLe32;

std::array<uint8_t, kReadRequestSize> EncodeReadRequest(const ReadRequest& request) {
    std::array<uint8_t, kReadRequestSize> out{};
    StoreLe32(out, 0, request.indexGroup);
    StoreLe32(out, 4, request.indexOffset);
    StoreLe32(out, 8, request.length);
    return out;
}

std::vector<uint8_t> EncodeWriteRequest(const WriteRequest& request) {
    std::vector<uint8_t> out(kWriteRequestHeaderSize + request.data.size());
    StoreLe32(out, 0, request.indexGroup);
    StoreLe32(out, 4, request.indexOffset);
    StoreLe32(out, 8, static_cast<uint32_t>(request.data.size()));
    std::copy(request.data.begin(), request.data.end(), out.begin() + kWriteRequestHeaderSize);
    return out;
}

std::vector<uint8_t> EncodeWriteControlRequest(const WriteControlRequest& request) {
    std::vector<uint8_t> out(kWriteControlHeaderSize + request.data.size());
    StoreLe16(out, 0, request.adsState);
    StoreLe16(out, 2, request.deviceState);
    StoreLe32(out, 4, static_cast<uint32_t>(request.data.size()));
    std::copy(request.data.begin(), request.data.end(), out.begin() + kWriteControlHeaderSize);
    return out;
}

bool DecodeReadRequest(std::span<const uint8_t> data, ReadRequest& request) {
    if (data.size() != kReadRequestSize) {
        return false;
    }
    request.indexGroup = LoadLe32(data, 0);
    request.indexOffset = LoadLe32(data, 4);
    request.length = LoadLe32(data, 8);
    return true;
}

bool DecodeWriteRequest(std::span<const uint8_t> data, WriteRequest& request) {
    if (data.size() < kWriteRequestHeaderSize ||
        LoadLe32(data, 8) != data.size() - kWriteRequestHeaderSize) {
        return false;
    }
    request.indexGroup = LoadLe32(data, 0);
    request.indexOffset = LoadLe32(data, 4);
    request.data = data.subspan(kWriteRequestHeaderSize);
    return true;
}

bool DecodeWriteControlRequest(std::span<const uint8_t> data, WriteControlRequest& request) {
    if (data.size() < kWriteControlHeaderSize ||
        LoadLe32(data, 4) != data.size() - kWriteControlHeaderSize) {
        return false;
    }
    request.adsState = LoadLe16(data, 0);
    request.deviceState = LoadLe16(data, 2);
    request.data = data.subspan(kWriteControlHeaderSize);
    return true;
}

std::vector<uint8_t> EncodeResultReply(uint32_t result) {
    std::vector<uint8_t> out(kResultSize);
    StoreLe32(out, 0, result);
    return out;
}

std::vector<uint8_t> EncodeReadReply(uint32_t result, std::span<const uint8_t> data) {
    if (result != 0) {
        data = {};
    }
    std::vector<uint8_t> out(kReadReplyHeaderSize + data.size());
    StoreLe32(out, 0, result);
    StoreLe32(out, 4, static_cast<uint32_t>(data.size()));
    std::copy(data.begin(), data.end(), out.begin() + kReadReplyHeaderSize);
    return out;
}

std::vector<uint8_t> EncodeReadStateReply(uint32_t result, uint16_t adsState,
                                          uint16_t deviceState) {
    std::vector<uint8_t> out(kReadStateReplySize);
    StoreLe32(out, 0, result);
    StoreLe16(out, 4, adsState);
    StoreLe16(out, 6, deviceState);
    return out;
}

std::vector<uint8_t> EncodeDeviceInfoReply(uint32_t result, const DeviceInfo& info) {
    std::vector<uint8_t> out(kDeviceInfoReplySize, 0);
    StoreLe32(out, 0, result);
    out[4] = info.major;
    out[5] = info.minor;
    StoreLe16(out, 6, info.build);
    const size_t n = std::min(info.name.size(), kDeviceNameSize);
    std::copy_n(info.name.begin(), n, out.begin() + 8);
    return out;
}

int32_t DecodeResultReply(std::span<const uint8_t> reply) {
    if (reply.size() < kResultSize) {
        return ADSERR_CLIENT_INVALIDRESPONSE;
    }
    return static_cast<int32_t>(LoadLe32(reply, 0));
}

int32_t DecodeReadReply(std::span<const uint8_t> reply, std::span<uint8_t> out) {
    if (reply.size() < kResultSize) {
        return ADSERR_CLIENT_INVALIDRESPONSE;
    }
    const uint32_t result = LoadLe32(reply, 0);
    if (result != 0) {
        // Some servers send the result alone for a failed Read; the result is what matters.
        return static_cast<int32_t>(result);
    }
    if (reply.size() < kReadReplyHeaderSize) {
        return ADSERR_CLIENT_INVALIDRESPONSE;
    }
    const uint32_t length = LoadLe32(reply, 4);
    if (length != out.size() || length > reply.size() - kReadReplyHeaderSize) {
        return ADSERR_CLIENT_INVALIDRESPONSE;
    }
    std::copy_n(reply.begin() + kReadReplyHeaderSize, length, out.begin());
    return ADSERR_NOERR;
}

int32_t DecodeReadStateReply(std::span<const uint8_t> reply, uint16_t& adsState,
                             uint16_t& deviceState) {
    if (reply.size() < kResultSize) {
        return ADSERR_CLIENT_INVALIDRESPONSE;
    }
    const uint32_t result = LoadLe32(reply, 0);
    if (result != 0) {
        return static_cast<int32_t>(result);
    }
    if (reply.size() < kReadStateReplySize) {
        return ADSERR_CLIENT_INVALIDRESPONSE;
    }
    adsState = LoadLe16(reply, 4);
    deviceState = LoadLe16(reply, 6);
    return ADSERR_NOERR;
}

}  // namespace ams
