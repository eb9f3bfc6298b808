// Fuzzes the download request encoder and the reply judge: the encoder's frame must decode back
// to what went in, and the judge must agree with a plain reading of the received bytes without
// touching a byte past them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "transfer/ams_reply_judge.h"
#include "transfer/exchange_ams_frame.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

uint32_t Le(const uint8_t* p, size_t n) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        v |= static_cast<uint32_t>(p[i]) << (8 * i);
    }
    return v;
}

// The first 22 bytes choose the request's addresses and ids; the rest is its payload.
void CheckEncoder(std::span<const uint8_t> in) {
    constexpr size_t kChoice = 8 + 8 + 2 + 4;
    if (in.size() < kChoice) {
        return;
    }
    AmsAddr target{};
    AmsAddr source{};
    std::memcpy(target.netId.b, in.data(), 6);
    target.port = static_cast<uint16_t>(Le(in.data() + 6, 2));
    std::memcpy(source.netId.b, in.data() + 8, 6);
    source.port = static_cast<uint16_t>(Le(in.data() + 14, 2));
    const auto commandId = static_cast<uint16_t>(Le(in.data() + 16, 2));
    const uint32_t invokeId = Le(in.data() + 18, 4);
    const std::span<const uint8_t> payload = in.subspan(kChoice);

    const std::vector<uint8_t> frame =
        BuildAmsRequest(target, source, commandId, payload, invokeId);
    Require(frame.size() == ams::kFrameHeaderSize + payload.size());
    ams::AmsHeader header;
    std::span<const uint8_t> data;
    if (payload.size() + ams::kAmsHeaderSize <= ams::kMaxAmsLength) {
        Require(ams::DecodeFrame(frame, header, data) == ams::DecodeStatus::kOk);
        Require(header.target == target && header.source == source);
        Require(header.commandId == commandId && header.invokeId == invokeId);
        Require(header.stateFlags == 0 && header.errorCode == 0);
        Require(header.dataLength == payload.size());
        Require(std::equal(data.begin(), data.end(), payload.begin(), payload.end()));
    }
    // A reply that echoes the request's ids with no error answers it.
    Require(ReplyAnswersRequest(frame, commandId, invokeId));
}

// The received bytes are judged against ids taken from their own first bytes, so matching and
// non-matching replies both occur.
void CheckJudge(std::span<const uint8_t> received) {
    const uint16_t commandId =
        received.size() >= 2 ? static_cast<uint16_t>(Le(received.data(), 2)) : 0x5001;
    const uint32_t invokeId = received.size() >= 6 ? Le(received.data() + 2, 4) : 0;
    // An exact-size heap copy: any read past the received bytes is an AddressSanitizer report.
    const std::vector<uint8_t> copy(received.begin(), received.end());
    const bool answers = ReplyAnswersRequest(copy, commandId, invokeId);
    const bool expected = copy.size() >= 38 && Le(copy.data() + 22, 2) == commandId &&
                          Le(copy.data() + 34, 4) == invokeId && Le(copy.data() + 30, 4) == 0;
    Require(answers == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> in(data, size);
    CheckEncoder(in);
    CheckJudge(in);
    return 0;
}
