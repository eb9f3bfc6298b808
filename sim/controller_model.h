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
#include "sim/device_faults.h"
#include "sim/firmware_download.h"
#include "sim/plc_program.h"

namespace sim {

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
    bool downloadClosed = false;  // the frame completed the download's closing commands
    bool reboot = false;          // the controller must reboot once the reply is out
    bool close = false;           // no reply: the connection closes (closeReason says why)
    bool closePort = false;       // the port closes; once the reply is out, all connections drop
    std::string closeReason;
    std::string logDetail;  // JSON members describing the request
    std::vector<LogEvent> events;
};

class ControllerModel {
public:
    using Clock = std::chrono::steady_clock;

    ControllerModel(const Options& options, std::vector<uint8_t> expectedImage);

    FrameOutcome Serve(const ams::AmsHeader& request, std::span<const uint8_t> data,
                       Clock::time_point now);

    // A reboot no request asks for: the install install-ms held back, once its time has come,
    // or the restart after the read-back.
    enum class Due { kNone, kInstall, kReadbackRestart };
    Due DueReboot(Clock::time_point now) const;
    // Does what is due before that reboot: installs or rejects the image, or resets the
    // parameters to factory values.
    void TakeDue(Due due, FrameOutcome& outcome);
    // Rebooting forgets any download; the PLC comes back in RUN.
    void Reboot();
    // Back from a reboot: the after-reboot faults start, and what they noted for the log.
    std::vector<LogEvent> Return(Clock::time_point now);
    // A connection ended amid a download.
    void DownloadCut(Clock::time_point now, FrameOutcome& outcome);

    PlcProgram& Plc() { return plc_; }
    const PlcProgram& Plc() const { return plc_; }
    const Faults& CurrentFaults() const { return device_.Settings(); }
    bool PortClosed() const { return device_.PortClosed(); }
    void SetFaults(const Faults& faults) { device_.Set(faults); }
    Stats& CurrentStats() { return stats_; }
    const Stats& CurrentStats() const { return stats_; }
    const std::vector<DownloadFrame>& DownloadFrames() const { return download_.Frames(); }
    const std::vector<uint8_t>& LastReceivedImage() const { return lastImage_; }

    // A "parameters" event with the twelve values (id 10: major | minor << 8) when they differ
    // from the ones last logged, or always when `force`.
    std::optional<LogEvent> ParameterEvent(bool force);

private:
    FrameOutcome ServeFrame(const ams::AmsHeader& request, std::span<const uint8_t> data,
                            Clock::time_point now);
    // Moves what the device faults noted into `events`.
    void LogDeviceNotes(std::vector<LogEvent>& events);
    std::vector<uint8_t> ServeAds(const ams::AmsHeader& request, std::span<const uint8_t> data,
                                  Clock::time_point now, FrameOutcome& outcome, uint32_t& amsError);
    std::vector<uint8_t> ServeRead(std::span<const uint8_t> data, Clock::time_point now,
                                   FrameOutcome& outcome);
    std::vector<uint8_t> ServeWrite(std::span<const uint8_t> data, Clock::time_point now,
                                    FrameOutcome& outcome);
    std::vector<uint8_t> ServeWriteControl(std::span<const uint8_t> data, Clock::time_point now,
                                           FrameOutcome& outcome);
    void ServeDownload(const ams::AmsHeader& request, std::span<const uint8_t> data,
                       FrameOutcome& outcome);
    void ServeRun(Clock::time_point now, FrameOutcome& outcome);
    void InstallPendingImage(FrameOutcome& outcome);
    void Scan(Clock::time_point now, FrameOutcome& outcome);

    PlcProgram plc_;
    FirmwareDownload download_;
    DeviceFaults device_;
    Stats stats_;
    const std::vector<uint8_t> expectedImage_;
    const uint8_t newMajor_;
    const uint8_t newMinor_;
    std::vector<uint8_t> lastImage_;
    bool imagePending_ = false;  // closed by its three closing commands, waiting for RUN
    std::optional<std::array<uint32_t, kParameterCount>> loggedParameters_;
};

}  // namespace sim
