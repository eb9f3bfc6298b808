#include "sim/connection_faults.h"

#include <algorithm>
#include <array>

#include "ams/ads_codes.h"
#include "ams/ads_frame.h"
#include "common/little_endian.h"
#include "sim/firmware_download.h"
#include "sim/plc_program.h"

namespace sim {
namespace {

using std::chrono::milliseconds;
using Act = Verdict::Act;

// Under stall-download: small enough that a few unread download frames fill it and the host's
// next send blocks.
constexpr int kStalledReceiveBuffer = 4096;
// The code and sequence number of a command record: its first ten bytes.
constexpr size_t kCommandHead = 10;

bool IsRequest(const ams::AmsHeader& header) {
    return (header.stateFlags & ams::kFlagResponse) == 0;
}

// The code and sequence number a write puts into the command block, if it writes one.
std::optional<std::pair<uint16_t, uint32_t>> CommandWritten(const StreamFrame& frame) {
    ams::WriteRequest write;
    if (!IsRequest(frame.header) || frame.header.commandId != ams::kCmdWrite ||
        !ams::DecodeWriteRequest(frame.data, write) || write.indexGroup != kFlagMemoryGroup ||
        write.indexOffset != kCommandBlockOffset || write.data.size() < kCommandHead) {
        return std::nullopt;
    }
    const uint16_t code = common::LoadLe16(write.data, 0);
    if (code == 0) {
        return std::nullopt;
    }
    return std::pair{code, common::LoadLe32(write.data, 6)};
}

bool IsPlcControl(const StreamFrame& frame) {
    ams::WriteControlRequest control;
    return IsRequest(frame.header) && frame.header.commandId == ams::kCmdWriteControl &&
           ams::DecodeWriteControlRequest(frame.data, control) &&
           (control.adsState == ADSSTATE_STOP || control.adsState == ADSSTATE_RUN);
}

// --- The filters, one per fault; each hook may be absent. -------------------------------

// A router with one route serves a frame only when its source NetId is that route's and the
// connection comes from the address the route names.
Verdict Route(const FilterContext& context) {
    if (!context.faults.route) {
        return {};
    }
    const AmsNetId& route = *context.faults.route;
    const StreamFrame& frame = context.frame;
    const bool routed =
        frame.header.source.netId == route && frame.peer &&
        *frame.peer == platform::Ipv4{route.b[0], route.b[1], route.b[2], route.b[3]};
    return routed ? Verdict{} : Verdict{Act::kIgnore, "no route"};
}

Verdict DropAfterReads(const FilterContext& context) {
    const auto command = CommandWritten(context.frame);
    const auto counted = context.counts.commands.find(kCmdGetParameter);
    const int reads = counted == context.counts.commands.end() ? 0 : counted->second;
    if (!command || command->first != kCmdGetParameter || context.faults.dropAfterReads <= 0 ||
        reads <= context.faults.dropAfterReads) {
        return {};
    }
    return {Act::kClose, "dropped at parameter read " + std::to_string(reads)};
}

milliseconds Delay(const FilterContext& context, FrameOutcome&) {
    return milliseconds(context.faults.delayMs);
}

milliseconds DownloadReply(const FilterContext& context, FrameOutcome& outcome) {
    if (!outcome.downloadFrame || !outcome.reply) {
        return {};
    }
    if (context.faults.downloadSilent) {
        outcome.reply.reset();
    } else if (context.faults.downloadError) {
        outcome.reply =
            ams::EncodeReply(context.frame.header, ams::kFlagResponse, kDownloadFaultError, {});
    }
    return {};
}

// As a router that mixes up two requests: the reply is whole and well formed, but its invoke id
// names a request the host never sent, so a host must not take it as its answer.
milliseconds WrongInvoke(const FilterContext& context, FrameOutcome& outcome) {
    const int n = context.faults.wrongInvokeAfter;
    ams::AmsHeader header;
    std::span<const uint8_t> data;
    if (n <= 0 || context.counts.requests != n || !outcome.reply ||
        ams::DecodeFrame(*outcome.reply, header, data) != ams::DecodeStatus::kOk) {
        return {};
    }
    header.invokeId = ~context.frame.header.invokeId;
    outcome.reply = ams::EncodeFrame(header, data);
    outcome.events.emplace_back("wrong_invoke", "reply to request " + std::to_string(n) +
                                                    " on a connection sent with invoke id " +
                                                    std::to_string(header.invokeId) + ", not " +
                                                    std::to_string(context.frame.header.invokeId));
    return {};
}

Verdict DropAfter(const FilterContext& context, const FrameOutcome&) {
    const int requests = context.counts.requests;
    if (context.faults.dropAfter > 0 && requests >= context.faults.dropAfter) {
        return {Act::kClose, "dropped after " + std::to_string(requests) + " requests"};
    }
    return {};
}

Verdict DownloadDropAfter(const FilterContext& context, const FrameOutcome& outcome) {
    const int downloads = context.counts.downloads;
    if (outcome.downloadFrame && context.faults.downloadDropAfter > 0 &&
        downloads >= context.faults.downloadDropAfter) {
        return {Act::kClose, "dropped after " + std::to_string(downloads) + " download frames"};
    }
    return {};
}

Verdict StallDownload(const FilterContext& context, const FrameOutcome& outcome) {
    const int downloads = context.counts.downloads;
    if (outcome.downloadFrame && context.faults.stallDownload > 0 &&
        downloads >= context.faults.stallDownload) {
        return {Act::kStall,
                "no longer read after " + std::to_string(downloads) + " download frames"};
    }
    return {};
}

struct ConnectionFault {
    const char* name;
    Verdict (*request)(const FilterContext&);
    milliseconds (*reply)(const FilterContext&, FrameOutcome&);
    Verdict (*afterReply)(const FilterContext&, const FrameOutcome&);
};

// Every connection fault, in the order a frame meets them.
constexpr auto kConnectionFaults = std::to_array<ConnectionFault>({
    {"route", Route, nullptr, nullptr},
    {"drop-after-reads", DropAfterReads, nullptr, nullptr},
    {"download-silent, download-error", nullptr, DownloadReply, nullptr},
    {"wrong-invoke-after", nullptr, WrongInvoke, nullptr},
    {"delay-ms", nullptr, Delay, nullptr},
    {"drop-after", nullptr, nullptr, DropAfter},
    {"download-drop-after", nullptr, nullptr, DownloadDropAfter},
    {"stall-download", nullptr, nullptr, StallDownload},
});

}  // namespace

Verdict FilterRequest(const FilterContext& context) {
    for (const auto& fault : kConnectionFaults) {
        if (fault.request == nullptr) {
            continue;
        }
        if (Verdict verdict = fault.request(context); verdict.act != Act::kServe) {
            return verdict;
        }
    }
    return {};
}

milliseconds FilterReply(const FilterContext& context, FrameOutcome& outcome) {
    milliseconds delay{};
    for (const auto& fault : kConnectionFaults) {
        if (fault.reply != nullptr) {
            delay += fault.reply(context, outcome);
        }
    }
    return delay;
}

Verdict FilterAfterReply(const FilterContext& context, const FrameOutcome& outcome) {
    for (const auto& fault : kConnectionFaults) {
        if (fault.afterReply == nullptr) {
            continue;
        }
        if (Verdict verdict = fault.afterReply(context, outcome); verdict.act != Act::kServe) {
            return verdict;
        }
    }
    return {};
}

bool RefusesConnections(const Faults& faults) {
    return faults.refuseConnect;
}

std::optional<int> ReceiveBufferFor(const Faults& faults) {
    return faults.stallDownload > 0 ? std::optional(kStalledReceiveBuffer) : std::nullopt;
}

std::optional<uint16_t> CommandTracker::New(const StreamFrame& frame) {
    const auto command = CommandWritten(frame);
    if (!command) {
        return std::nullopt;
    }
    const uint64_t key = uint64_t{command->first} << 32 | command->second;
    if (last_ == key) {
        return std::nullopt;
    }
    last_ = key;
    return command->first;
}

EventCut::Cut EventCut::Count(const StreamFrame& frame, Faults& faults, Stats& stats,
                              Clock::time_point now) {
    const bool event =
        commands_.New(frame) ||
        (IsDownloadFrame(frame.header.commandId) ? IsRequest(frame.header) : IsPlcControl(frame));
    if (!event) {
        return Cut::kNone;
    }
    ++stats.events;
    // One-shot: the fault switches itself off as it fires.
    if (faults.restartAt > 0 && stats.events - restartBase_ == uint64_t(faults.restartAt)) {
        faults.restartAt = 0;
        return Cut::kRestart;
    }
    // cut-events: the events lost together, as a download frame and the RUN after it.
    const uint64_t cuts = uint64_t(std::max(1, faults.cutEvents));
    const uint64_t sinceCut = stats.events - cutBase_;
    if (faults.cutAt > 0 && sinceCut >= uint64_t(faults.cutAt) &&
        sinceCut < uint64_t(faults.cutAt) + cuts) {
        if (sinceCut + 1 == uint64_t(faults.cutAt) + cuts) {
            faults.cutAt = 0;
        }
        return Cut::kCut;
    }
    if (faults.outageAt > 0 && faults.outageMs > 0 &&
        stats.events - outageBase_ == uint64_t(faults.outageAt)) {
        faults.outageAt = 0;
        outageStart_ = now;
        return Cut::kOutage;
    }
    return Cut::kNone;
}

bool EventCut::InOutage(const Faults& faults, Clock::time_point now) const {
    return outageStart_ && now - *outageStart_ < milliseconds(faults.outageMs);
}

std::optional<LogEvent> EventCut::EndOutage(const Faults& faults, Clock::time_point now) {
    if (!outageStart_ || InOutage(faults, now)) {
        return std::nullopt;
    }
    outageStart_.reset();
    return LogEvent{"outage_end", "outage over: frames are served again"};
}

void EventCut::Rearm(const Faults& before, const Faults& after, const Stats& stats) {
    if (after.cutAt != before.cutAt) {
        cutBase_ = stats.events;
    }
    if (after.restartAt != before.restartAt) {
        restartBase_ = stats.events;
    }
    if (after.outageAt != before.outageAt) {
        outageBase_ = stats.events;
    }
}

}  // namespace sim
