// Fuzzes the ADS client's handling of what a router sends back: the stream reassembler fed in
// chunks of varying size, the frame decoder, and the Write and Read reply decoders. Whatever
// arrives, the buffer stays bounded, chunking never changes which frames come out, and a Read
// reply either fills the caller's buffer exactly or leaves it untouched.
//
// Input: byte 0 seeds the chunk sizes, byte 1 chooses the Read size the client expects, the
// rest is the byte stream from the router.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "common/little_endian.h"
#include "ads/ads_api.h"
#include "ams/ads_frame.h"
#include "ams/ams_stream.h"

namespace {

using ams::AmsFrameAssembler;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The Read sizes the device link asks for, and a few that no reply is likely to match.
constexpr std::array<size_t, 8> kReadSizes{0, 1, 4, 8, 28, 32, 60, 255};
constexpr uint8_t kUntouched = 0xA5;

struct Assembled {
    std::vector<std::vector<uint8_t>> frames;
    bool malformed = false;
};

// All bytes at once: the reference the chunked feed must agree with.
Assembled AssembleWhole(std::span<const uint8_t> stream) {
    Assembled out;
    AmsFrameAssembler assembler;
    assembler.Append(stream);
    std::vector<uint8_t> frame;
    for (;;) {
        const auto status = assembler.Next(frame);
        if (status == AmsFrameAssembler::Status::kFrame) {
            out.frames.push_back(frame);
            continue;
        }
        out.malformed = status == AmsFrameAssembler::Status::kMalformed;
        return out;
    }
}

// The way the client reads: one receive at a time, every complete frame taken before the next.
Assembled AssembleChunked(std::span<const uint8_t> stream, uint8_t seed) {
    Assembled out;
    AmsFrameAssembler assembler;
    std::vector<uint8_t> frame;
    uint32_t state = seed * 2654435761u + 1;
    size_t at = 0;
    while (at < stream.size()) {
        state = state * 1103515245u + 12345u;
        // Mostly small receives, sometimes a whole socket buffer's worth.
        const size_t want = (state >> 16) % 8 == 0 ? 4096 : 1 + (state >> 16) % 61;
        const size_t n = std::min(want, stream.size() - at);
        const size_t before = assembler.Buffered();
        assembler.Append(stream.subspan(at, n));
        at += n;
        Require(assembler.Buffered() == before + n);
        for (;;) {
            const auto status = assembler.Next(frame);
            if (status == AmsFrameAssembler::Status::kFrame) {
                out.frames.push_back(frame);
                continue;
            }
            if (status == AmsFrameAssembler::Status::kMalformed) {
                out.malformed = true;
                return out;
            }
            break;
        }
        // What is left is less than one frame of the largest size a reader accepts.
        Require(assembler.Buffered() < ams::kTcpHeaderSize + ams::kMaxAmsLength);
    }
    return out;
}

void CheckReplyDecoders(std::span<const uint8_t> body, size_t readSize) {
    // Exact-size heap copies: a read past the reply or a write past the caller's buffer is an
    // AddressSanitizer report.
    const std::vector<uint8_t> reply(body.begin(), body.end());

    const int32_t result = ams::DecodeResultReply(reply);
    if (reply.size() < ams::kResultSize) {
        Require(result == ADSERR_CLIENT_INVALIDRESPONSE);
    } else {
        Require(result == static_cast<int32_t>(common::LoadLe32(reply, 0)));
    }

    std::vector<uint8_t> out(readSize, kUntouched);
    const int32_t rc = ams::DecodeReadReply(reply, out);
    if (rc == ADSERR_NOERR) {
        Require(reply.size() >= ams::kReadReplyHeaderSize + readSize);
        Require(common::LoadLe32(reply, 0) == 0 && common::LoadLe32(reply, 4) == readSize);
        Require(std::equal(out.begin(), out.end(), reply.begin() + ams::kReadReplyHeaderSize));
    } else {
        // A caller must never take stale or partial bytes for PLC memory.
        Require(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == kUntouched; }));
    }
}

void CheckFrame(const std::vector<uint8_t>& frame, size_t readSize) {
    Require(frame.size() >= ams::kFrameHeaderSize);
    Require(frame.size() == ams::kTcpHeaderSize + common::LoadLe32(frame, 2));
    Require(frame.size() <= ams::kTcpHeaderSize + ams::kMaxAmsLength);
    ams::AmsHeader header;
    std::span<const uint8_t> data;
    const auto status = ams::DecodeFrame(frame, header, data);
    // A complete frame has all its bytes: only its fields can be wrong.
    Require(status != ams::DecodeStatus::kTooShort);
    if (status != ams::DecodeStatus::kOk) {
        return;
    }
    Require(data.size() == header.dataLength);
    Require(data.data() == frame.data() + ams::kFrameHeaderSize);
    Require(ams::kFrameHeaderSize + data.size() == frame.size());
    CheckReplyDecoders(data, readSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint8_t seed = bytes[0];
    const size_t readSize = kReadSizes[bytes[1] % kReadSizes.size()];
    const std::span<const uint8_t> stream(bytes + 2, size - 2);

    const Assembled whole = AssembleWhole(stream);
    const Assembled chunked = AssembleChunked(stream, seed);
    Require(whole.frames == chunked.frames);
    Require(whole.malformed == chunked.malformed);
    for (const auto& frame : chunked.frames) {
        CheckFrame(frame, readSize);
    }
    return 0;
}
