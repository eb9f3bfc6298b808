// Fuzzes the simulated controller's request handling as a hostile client reaches it: a byte
// stream reassembled as the controller's connection does, every decoded frame served by the
// controller model. It must never crash, every reply must be a well-formed answer to the
// request it belongs to, and nothing the client sends may make it hold memory without bound.
// Every frame goes the way a connection's thread sends it: through sim::FramePath.
//
// Input: byte 0 seeds the receive sizes, byte 1 switches faults on, the rest is the stream.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "common/little_endian.h"
#include "ads/ads_api.h"
#include "ams/ads_frame.h"
#include "ams/ams_stream.h"
#include "sim/connection_faults.h"
#include "sim/controller.h"
#include "sim/controller_model.h"
#include "sim/firmware_download.h"
#include "sim/frame_path.h"
#include "sim/plc_program.h"

namespace {

using ams::AmsFrameAssembler;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// A short image, so a fuzzed download can complete and install without 80 kB of input.
const std::vector<uint8_t> kExpectedImage{'C', 'O', 'R', 'V', 'A', 'N', 'E', '!'};

sim::Faults FaultsFrom(uint8_t bits) {
    sim::Faults f;
    f.statusError = (bits & 0x01) != 0;
    f.mailboxSilent = (bits & 0x02) != 0;
    f.releaseSilent = (bits & 0x04) != 0;
    f.busy = (bits & 0x08) != 0;
    f.downloadSilent = (bits & 0x10) != 0;
    f.downloadError = (bits & 0x20) != 0;
    f.rejectImage = (bits & 0x40) != 0;
    f.busyAfterRebootMs = (bits & 0x80) != 0 ? 100 : 0;
    return f;
}

void CheckReply(const ams::AmsHeader& request, std::span<const uint8_t> requestData,
                const std::vector<uint8_t>& reply) {
    Require(reply.size() <= ams::kTcpHeaderSize + ams::kMaxAmsLength);
    ams::AmsHeader header;
    std::span<const uint8_t> data;
    Require(ams::DecodeFrame(reply, header, data) == ams::DecodeStatus::kOk);
    Require(header.target == request.source && header.source == request.target);
    Require(header.commandId == request.commandId && header.invokeId == request.invokeId);
    Require((header.stateFlags & ams::kFlagResponse) != 0);
    if (sim::IsDownloadFrame(request.commandId)) {
        Require(data.empty());
        return;
    }
    if (header.errorCode != 0) {
        Require(data.empty());
        return;
    }
    switch (request.commandId) {
        case ams::kCmdRead: {
            Require(data.size() >= ams::kReadReplyHeaderSize);
            const uint32_t result = common::LoadLe32(data, 0);
            const uint32_t length = common::LoadLe32(data, 4);
            Require(data.size() == ams::kReadReplyHeaderSize + length);
            // Never more than the flag memory holds, whatever length was asked for.
            Require(length <= sim::kFlagMemorySize);
            ams::ReadRequest read;
            if (result == 0) {
                Require(ams::DecodeReadRequest(requestData, read));
                Require(length == read.length);
            } else {
                Require(length == 0);
            }
            break;
        }
        case ams::kCmdWrite:
        case ams::kCmdWriteControl:
            Require(data.size() == ams::kResultSize);
            break;
        case ams::kCmdReadState:
            Require(data.size() == ams::kReadStateReplySize);
            break;
        case ams::kCmdReadDeviceInfo:
            Require(data.size() == ams::kDeviceInfoReplySize);
            break;
        default:
            Require(false);  // unknown commands carry an AMS error
    }
}

// Bounds on what the model keeps, whatever the client sent.
void CheckBounded(const sim::ControllerModel& model) {
    Require(model.DownloadFrames().size() <= sim::kMaxRecordedFrames);
    Require(model.LastReceivedImage().size() <= sim::kMaxImageSize);
    const sim::Stats& stats = model.CurrentStats();
    // Only the served ADS commands are counted by id.
    Require(stats.adsRequests.size() <= 9);
    Require(stats.mailboxAnswered.size() <= 4);
}

// One connection's frames, as its thread serves them; false once the controller would close
// the connection.
struct Connection {
    sim::ControllerModel& model;
    sim::FramePath path;
    sim::StreamCounts counts;

    bool Serve(const std::vector<uint8_t>& frame, sim::ControllerModel::Clock::time_point now);
};

bool Connection::Serve(const std::vector<uint8_t>& frame,
                       sim::ControllerModel::Clock::time_point now) {
    ams::AmsHeader request;
    std::span<const uint8_t> data;
    if (ams::DecodeFrame(frame, request, data) != ams::DecodeStatus::kOk) {
        return false;  // the controller drops such a connection
    }
    const std::vector<uint8_t> copy(data.begin(), data.end());
    const std::optional<platform::Ipv4> peer;
    const sim::FrameResult result =
        path.Pass("fuzz", counts, sim::StreamFrame{request, copy, peer}, now);
    if (result.act != sim::FrameResult::Act::kAnswer) {
        return result.act == sim::FrameResult::Act::kNoRoute ||
               result.act == sim::FrameResult::Act::kOutage;
    }
    const sim::FrameOutcome& outcome = result.outcome;
    if ((request.stateFlags & ams::kFlagResponse) != 0) {
        Require(!outcome.reply);
    }
    if (outcome.reply) {
        CheckReply(request, copy, *outcome.reply);
    }
    if (request.commandId == ams::kCmdWriteControl && outcome.reply &&
        (request.stateFlags & ams::kFlagResponse) == 0 && request.target.port == 800) {
        ams::WriteControlRequest control;
        if (ams::DecodeWriteControlRequest(copy, control) &&
            (control.adsState == ADSSTATE_RUN || control.adsState == ADSSTATE_STOP)) {
            Require(model.Plc().Running() == (control.adsState == ADSSTATE_RUN));
        }
    }
    if (outcome.reboot) {
        // What the controller does once the reply is out: down, then back.
        model.Reboot();
        Require(model.Plc().Running());
        model.Return(now);
    }
    CheckBounded(model);
    return result.afterReply.act == sim::Verdict::Act::kServe;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 2) {
        return 0;
    }
    sim::Options options;
    options.faults = FaultsFrom(bytes[1]);
    sim::ControllerModel model(options, kExpectedImage);
    sim::EventCut cuts;
    sim::EventLog log("", {});
    Connection connection{model, {model, cuts, log}, {}};
    const std::span<const uint8_t> stream(bytes + 2, size - 2);

    AmsFrameAssembler assembler;
    std::vector<uint8_t> frame;
    auto now = sim::ControllerModel::Clock::time_point{} + std::chrono::hours(1);
    uint32_t state = bytes[0] * 2654435761u + 7;
    size_t at = 0;
    while (at < stream.size()) {
        state = state * 1103515245u + 12345u;
        // The controller receives up to 4096 bytes at a time.
        const size_t want = (state >> 16) % 4 == 0 ? 4096 : 1 + (state >> 16) % 97;
        const size_t n = std::min(want, stream.size() - at);
        assembler.Append(stream.subspan(at, n));
        at += n;
        for (;;) {
            const auto status = assembler.Next(frame);
            if (status == AmsFrameAssembler::Status::kMalformed) {
                return 0;  // the controller drops the connection
            }
            if (status == AmsFrameAssembler::Status::kNeedMore) {
                break;
            }
            if (!connection.Serve(frame, now)) {
                return 0;
            }
            now += std::chrono::milliseconds(40);
        }
        Require(assembler.Buffered() < ams::kTcpHeaderSize + ams::kMaxAmsLength);
    }
    return 0;
}
