#include "ams/ams_header.h"

#include <algorithm>

#include "common/little_endian.h"

namespace ams {

using common::LoadLe16;
using common::LoadLe32;
using common::StoreLe16;
using common::StoreLe32;

namespace {

void PutAddr(std::span<uint8_t> out, size_t at, const AmsAddr& addr) {
    std::copy(std::begin(addr.netId.b), std::end(addr.netId.b), out.begin() + at);
    StoreLe16(out, at + 6, addr.port);
}

AmsAddr GetAddr(std::span<const uint8_t> in, size_t at) {
    AmsAddr addr{};
    std::copy_n(in.begin() + at, 6, std::begin(addr.netId.b));
    addr.port = LoadLe16(in, at + 6);
    return addr;
}

}  // namespace

void EncodeFrameHeader(const AmsHeader& h, std::span<uint8_t, kFrameHeaderSize> out) {
    StoreLe16(out, 0, 0);
    StoreLe32(out, 2, static_cast<uint32_t>(kAmsHeaderSize) + h.dataLength);
    PutAddr(out, 6, h.target);
    PutAddr(out, 14, h.source);
    StoreLe16(out, 22, h.commandId);
    StoreLe16(out, 24, h.stateFlags);
    StoreLe32(out, 26, h.dataLength);
    StoreLe32(out, 30, h.errorCode);
    StoreLe32(out, 34, h.invokeId);
}

std::vector<uint8_t> EncodeFrame(AmsHeader header, std::span<const uint8_t> data) {
    header.dataLength = static_cast<uint32_t>(data.size());
    std::vector<uint8_t> frame(kFrameHeaderSize + data.size());
    EncodeFrameHeader(header, std::span<uint8_t, kFrameHeaderSize>(frame.data(), kFrameHeaderSize));
    std::copy(data.begin(), data.end(), frame.begin() + kFrameHeaderSize);
    return frame;
}

DecodeStatus PeekFrameSize(std::span<const uint8_t> received, size_t& frameSize) {
    if (received.size() < kTcpHeaderSize) {
        return DecodeStatus::kTooShort;
    }
    const uint32_t amsLength = LoadLe32(received, 2);
    if (LoadLe16(received, 0) != 0 || amsLength < kAmsHeaderSize || amsLength > kMaxAmsLength) {
        return DecodeStatus::kMalformed;
    }
    frameSize = kTcpHeaderSize + amsLength;
    return DecodeStatus::kOk;
}

DecodeStatus DecodeFrameHeader(std::span<const uint8_t> frame, AmsHeader& h) {
    size_t frameSize = 0;
    if (const DecodeStatus s = PeekFrameSize(frame, frameSize); s != DecodeStatus::kOk) {
        return s;
    }
    if (frame.size() < kFrameHeaderSize) {
        return DecodeStatus::kTooShort;
    }
    h.target = GetAddr(frame, 6);
    h.source = GetAddr(frame, 14);
    h.commandId = LoadLe16(frame, 22);
    h.stateFlags = LoadLe16(frame, 24);
    h.dataLength = LoadLe32(frame, 26);
    h.errorCode = LoadLe32(frame, 30);
    h.invokeId = LoadLe32(frame, 34);
    if (static_cast<uint64_t>(h.dataLength) + kAmsHeaderSize != frameSize - kTcpHeaderSize) {
        return DecodeStatus::kMalformed;
    }
    return DecodeStatus::kOk;
}

DecodeStatus DecodeFrame(std::span<const uint8_t> frame, AmsHeader& h,
                         std::span<const uint8_t>& data) {
    if (const DecodeStatus s = DecodeFrameHeader(frame, h); s != DecodeStatus::kOk) {
        return s;
    }
    if (frame.size() < kFrameHeaderSize + h.dataLength) {
        return DecodeStatus::kTooShort;
    }
    data = frame.subspan(kFrameHeaderSize, h.dataLength);
    return DecodeStatus::kOk;
}

std::vector<uint8_t> EncodeReply(const AmsHeader& request, uint16_t stateFlags, uint32_t errorCode,
                                 std::span<const uint8_t> data) {
    AmsHeader reply;
    reply.target = request.source;
    reply.source = request.target;
    reply.commandId = request.commandId;
    reply.stateFlags = stateFlags;
    reply.errorCode = errorCode;
    reply.invokeId = request.invokeId;
    return EncodeFrame(reply, data);
}

}  // namespace ams
