// Everything a frame from the network can touch in the simulated controller: the PLC program,
// the firmware download, the faults and the counters, and what one frame does to them.
// Not thread-safe: the controller calls it under its lock.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ams/ams_header.h"
#include "sim/controller.h"
#include "sim/firmware_download.h"
#include "sim/plc_program.h"

namespace sim {

// The error code a download frame carries under the download-error fault.
inline constexpr uint32_t kDownloadFaultError = 0x0706;

struct LogEvent {
    LogEvent(std::string k, std::string t, std::string d = {})
        : kind(std::move(k)), text(std::move(t)), detail(std::move(d)) {}
    std::string kind;
    std::string text;    // the readable line
    std::string detail;  // extra JSON members, or ""
};

struct FrameOutcome {
    std::optional<std::vector<uint8_t>> reply;  // the whole response frame, if one is due
    bool downloadFrame = false;
    bool reboot = false;    // the controller must reboot once the reply is out
    std::string logDetail;  // JSON members describing the request
    std::vector<LogEvent> events;
};

class ControllerModel {
public:
    using Clock = std::chrono::steady_clock;

    ControllerModel(const Options& options, std::vector<uint8_t> expectedImage);

    FrameOutcome Serve(const ams::AmsHeader& request, std::span<const uint8_t> data,
                       Clock::time_point now);

    // An image whose RUN came under install-ms, once that time has passed since the RUN.
    bool InstallDue(Clock::time_point now) const;
    // Installs or rejects it; the controller must reboot at once.
    void InstallScheduledImage(FrameOutcome& outcome);
    // Rebooting forgets any download; the PLC comes back in RUN.
    void Reboot();
    // Back from a reboot: busy for the busy-after-reboot time.
    void Return(Clock::time_point now);

    PlcProgram& Plc() { return plc_; }
    const PlcProgram& Plc() const { return plc_; }
    Faults& CurrentFaults() { return faults_; }
    Stats& CurrentStats() { return stats_; }
    const Stats& CurrentStats() const { return stats_; }
    const std::vector<DownloadFrame>& DownloadFrames() const { return download_.Frames(); }
    const std::vector<uint8_t>& LastReceivedImage() const { return lastImage_; }

    // A "parameters" event with the twelve values (id 10: major | minor << 8) when they differ
    // from the ones last logged, or always when `force`.
    std::optional<LogEvent> ParameterEvent(bool force);

private:
    std::vector<uint8_t> ServeAds(const ams::AmsHeader& request, std::span<const uint8_t> data,
                                  Clock::time_point now, FrameOutcome& outcome, uint32_t& amsError);
    std::vector<uint8_t> ServeWriteControl(std::span<const uint8_t> data, Clock::time_point now,
                                           FrameOutcome& outcome);
    void ServeDownload(const ams::AmsHeader& request, std::span<const uint8_t> data,
                       FrameOutcome& outcome);
    void InstallPendingImage(FrameOutcome& outcome);
    void Scan(Clock::time_point now, FrameOutcome& outcome);

    PlcProgram plc_;
    FirmwareDownload download_;
    Faults faults_;
    Stats stats_;
    const std::vector<uint8_t> expectedImage_;
    const uint8_t newMajor_;
    const uint8_t newMinor_;
    std::vector<uint8_t> lastImage_;
    bool imagePending_ = false;  // closed by its three closing commands, waiting for RUN
    std::optional<Clock::time_point> installRun_;  // the RUN of an install held by install-ms
    // reboot-after-writes: armed by an install, counted from the writes answered before it.
    bool writesArmed_ = false;
    uint64_t writesBeforeInstall_ = 0;
    std::optional<std::array<uint32_t, kParameterCount>> loggedParameters_;
};

}  // namespace sim
