#include "sim/controller_model.h"

#include <bit>
#include <charconv>

#include "ams/ads_codes.h"
#include "ams/ads_frame.h"

namespace sim {
namespace {

constexpr uint16_t kFirstUnservedAdsCommand = 6;  // notifications and ReadWrite
constexpr uint16_t kLastUnservedAdsCommand = 9;
constexpr uint8_t kRuntimeMajor = 2;
constexpr uint8_t kRuntimeMinor = 11;
constexpr uint16_t kRuntimeBuild = 2300;

std::string Version(uint8_t major, uint8_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

// The shortest text that reads back as the same value.
std::string ParameterText(int id, uint32_t raw) {
    if (id == kFirmwareVersionParameter) {
        return Version(static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8));
    }
    if (!IsFloatParameter(id)) {
        return std::to_string(static_cast<int32_t>(raw));
    }
    std::array<char, 32> text{};
    const auto end =
        std::to_chars(text.data(), text.data() + text.size(), std::bit_cast<float>(raw)).ptr;
    return std::string(text.data(), end);
}

bool TouchesCommandBlock(uint32_t offset, size_t length) {
    const uint64_t end = static_cast<uint64_t>(offset) + length;
    return length > 0 && offset < kCommandBlockOffset + kMailboxRecordSize &&
           end > kCommandBlockOffset;
}

}  // namespace

ControllerModel::ControllerModel(const Options& options, std::vector<uint8_t> expectedImage)
    : plc_(options.firmwareMajor, options.firmwareMinor),
      device_(options.faults),
      expectedImage_(std::move(expectedImage)),
      newMajor_(options.newFirmwareMajor),
      newMinor_(options.newFirmwareMinor) {}

void ControllerModel::Scan(Clock::time_point now, FrameOutcome& outcome) {
    std::vector<std::string> lines;
    const uint16_t answered = plc_.Scan(device_, now, stats_, lines);
    for (auto& line : lines) {
        outcome.events.emplace_back("mailbox", std::move(line));
    }
    if (answered == kCmdRelease && device_.ReleaseAnswered(now)) {
        outcome.closePort = true;
        outcome.events.emplace_back(
            "port_closed",
            "session released after the restore: the router's port closes until the faults change");
    }
    if (answered == kCmdSetParameter && device_.WriteAnswered()) {
        // The write is answered, then the new firmware restarts without what it was told.
        plc_.ResetToFactoryDefaults();
        outcome.reboot = true;
        outcome.events.emplace_back("parameters_lost",
                                    "parameter write " +
                                        std::to_string(device_.Settings().rebootAfterWrites) +
                                        " after the install: restarting with factory parameters");
    }
}

FrameOutcome ControllerModel::Serve(const ams::AmsHeader& request, std::span<const uint8_t> data,
                                    Clock::time_point now) {
    FrameOutcome outcome = ServeFrame(request, data, now);
    LogDeviceNotes(outcome.events);
    return outcome;
}

void ControllerModel::LogDeviceNotes(std::vector<LogEvent>& events) {
    for (auto& [kind, text] : device_.TakeNotes()) {
        events.emplace_back(std::move(kind), std::move(text));
    }
}

FrameOutcome ControllerModel::ServeFrame(const ams::AmsHeader& request,
                                         std::span<const uint8_t> data, Clock::time_point now) {
    FrameOutcome outcome;
    outcome.logDetail = "\"n\":" + std::to_string(data.size());
    if ((request.stateFlags & ams::kFlagResponse) != 0) {
        // Nobody here asked anything: a response from the host is not answered.
        return outcome;
    }
    if (IsDownloadFrame(request.commandId)) {
        ServeDownload(request, data, outcome);
        return outcome;
    }
    uint32_t amsError = 0;
    std::vector<uint8_t> body = ServeAds(request, data, now, outcome, amsError);
    if (outcome.close) {
        return outcome;
    }
    if (amsError != 0) {
        body.clear();
    }
    outcome.reply =
        ams::EncodeReply(request, ams::kFlagResponse | ams::kFlagAdsCommand, amsError, body);
    if (auto event = ParameterEvent(false)) {
        outcome.events.push_back(std::move(*event));
    }
    return outcome;
}

std::vector<uint8_t> ControllerModel::ServeAds(const ams::AmsHeader& request,
                                               std::span<const uint8_t> data, Clock::time_point now,
                                               FrameOutcome& outcome, uint32_t& amsError) {
    const uint16_t command = request.commandId;
    if (command < ams::kCmdReadDeviceInfo || command > kLastUnservedAdsCommand) {
        amsError = ADSERR_UNKNOWN_COMMAND;
        return {};
    }
    ++stats_.adsRequests[command];
    if (command >= kFirstUnservedAdsCommand) {
        amsError = ADSERR_DEVICE_SRVNOTSUPP;
        return {};
    }
    if (request.target.port != ams::kPlcRuntimePort) {
        amsError = ADSERR_TARGET_PORT_NOT_FOUND;
        return {};
    }
    Scan(now, outcome);
    switch (command) {
        case ams::kCmdReadDeviceInfo:
            return ams::EncodeDeviceInfoReply(
                0, {kRuntimeMajor, kRuntimeMinor, kRuntimeBuild, "Corvane PLC"});
        case ams::kCmdRead:
            return ServeRead(data, now, outcome);
        case ams::kCmdWrite:
            return ServeWrite(data, now, outcome);
        case ams::kCmdReadState:
            return ams::EncodeReadStateReply(0, plc_.Running() ? ADSSTATE_RUN : ADSSTATE_STOP, 0);
        case ams::kCmdWriteControl:
            return ServeWriteControl(data, now, outcome);
        default:
            amsError = ADSERR_UNKNOWN_COMMAND;
            return {};
    }
}

std::vector<uint8_t> ControllerModel::ServeRead(std::span<const uint8_t> data,
                                                Clock::time_point now, FrameOutcome& outcome) {
    ams::ReadRequest read;
    if (!ams::DecodeReadRequest(data, read)) {
        return ams::EncodeReadReply(ADSERR_DEVICE_INVALIDDATA, {});
    }
    outcome.logDetail += ",\"ig\":" + std::to_string(read.indexGroup) +
                         ",\"io\":" + std::to_string(read.indexOffset) +
                         ",\"len\":" + std::to_string(read.length);
    std::vector<uint8_t> bytes;
    const uint32_t result = plc_.Read(read.indexGroup, read.indexOffset, read.length, bytes);
    if (result == 0 && read.indexOffset <= kStatusBlockOffset &&
        read.indexOffset + read.length > kStatusBlockOffset) {
        device_.StatusRead(now);
    }
    return ams::EncodeReadReply(result, bytes);
}

std::vector<uint8_t> ControllerModel::ServeWrite(std::span<const uint8_t> data,
                                                 Clock::time_point now, FrameOutcome& outcome) {
    ams::WriteRequest write;
    if (!ams::DecodeWriteRequest(data, write)) {
        return ams::EncodeResultReply(ADSERR_DEVICE_INVALIDDATA);
    }
    outcome.logDetail += ",\"ig\":" + std::to_string(write.indexGroup) +
                         ",\"io\":" + std::to_string(write.indexOffset) +
                         ",\"len\":" + std::to_string(write.data.size());
    const uint32_t result = plc_.Write(write.indexGroup, write.indexOffset, write.data);
    if (result == 0 && TouchesCommandBlock(write.indexOffset, write.data.size())) {
        ++stats_.commandBlockWrites;
    }
    // The program cycle after the write answers a new command at once.
    Scan(now, outcome);
    return ams::EncodeResultReply(result);
}

std::vector<uint8_t> ControllerModel::ServeWriteControl(std::span<const uint8_t> data,
                                                        Clock::time_point now,
                                                        FrameOutcome& outcome) {
    ams::WriteControlRequest control;
    if (!ams::DecodeWriteControlRequest(data, control)) {
        return ams::EncodeResultReply(ADSERR_DEVICE_INVALIDDATA);
    }
    outcome.logDetail += ",\"ads_state\":" + std::to_string(control.adsState);
    if (control.adsState == ADSSTATE_STOP) {
        ++stats_.stopRequests;
        const int16_t state = device_.TurnedUnseen(now) ? int16_t{1} : plc_.StateWord(device_, now);
        stats_.stopsWhileBusy += state == 2 ? 1 : 0;
        stats_.stopsWhileNotReady += state == 0 ? 1 : 0;
        stats_.stopsWhileInstalling += imagePending_ || device_.InstallUnderWay() ? 1 : 0;
        plc_.SetRunning(false);
        outcome.events.emplace_back("plc_stop", "PLC stopped");
        return ams::EncodeResultReply(0);
    }
    if (control.adsState == ADSSTATE_RUN) {
        ServeRun(now, outcome);
        return ams::EncodeResultReply(0);
    }
    return ams::EncodeResultReply(ADSERR_DEVICE_SRVNOTSUPP);
}

void ControllerModel::ServeRun(Clock::time_point now, FrameOutcome& outcome) {
    ++stats_.runRequests;
    if (imagePending_ && device_.LoseRun()) {
        outcome.close = true;
        outcome.closeReason = "dropped: RUN lost (lose-run fault)";
        outcome.events.emplace_back("plc_run_lost", "RUN lost: the PLC stays stopped");
        return;
    }
    plc_.SetRunning(true);
    outcome.events.emplace_back("plc_run", "PLC running");
    if (imagePending_ && device_.HoldInstall(now)) {
        imagePending_ = false;
        outcome.events.emplace_back("install_scheduled",
                                    "installing the image in " +
                                        std::to_string(device_.Settings().installMs) +
                                        " ms; the old firmware runs until then");
    } else if (imagePending_) {
        InstallPendingImage(outcome);
    }
}

void ControllerModel::ServeDownload(const ams::AmsHeader& request, std::span<const uint8_t> data,
                                    FrameOutcome& outcome) {
    outcome.downloadFrame = true;
    ++stats_.downloadFrames;
    const auto step = download_.Take(request.commandId, request.invokeId, data);
    if (step == FirmwareDownload::Step::kImageRecord) {
        const size_t expectedRecords =
            (expectedImage_.size() + kDownloadRecordSize - 1) / kDownloadRecordSize;
        outcome.events.emplace_back("download_record",
                                    "download record " + std::to_string(download_.RecordsTaken()) +
                                        " of " + std::to_string(expectedRecords));
    } else if (step == FirmwareDownload::Step::kClosed) {
        outcome.downloadClosed = true;
        lastImage_ = download_.TakeImage();
        imagePending_ = true;
        ++stats_.imagesReceived;
        outcome.events.emplace_back(
            "download_complete",
            "download complete: " + std::to_string(lastImage_.size()) + " bytes");
    }
    outcome.reply = ams::EncodeReply(request, ams::kFlagResponse, 0, {});
}

void ControllerModel::InstallPendingImage(FrameOutcome& outcome) {
    imagePending_ = false;
    outcome.reboot = true;
    if (device_.RejectsImage()) {
        ++stats_.imagesRejected;
        outcome.events.emplace_back("image_rejected", "image rejected (reject-image fault)");
        return;
    }
    if (lastImage_ != expectedImage_) {
        ++stats_.imagesRejected;
        outcome.events.emplace_back("image_rejected",
                                    "image rejected: it is not the expected image");
        return;
    }
    plc_.SetFirmware(newMajor_, newMinor_);
    plc_.ResetToFactoryDefaults();
    ++stats_.imagesInstalled;
    device_.Installed();
    outcome.events.emplace_back("image_installed", "image installed: firmware " +
                                                       Version(newMajor_, newMinor_) +
                                                       ", parameters at factory defaults");
}

ControllerModel::Due ControllerModel::DueReboot(Clock::time_point now) const {
    if (device_.InstallDue(now)) {
        return Due::kInstall;
    }
    return device_.ReadbackRestartDue(now) ? Due::kReadbackRestart : Due::kNone;
}

void ControllerModel::TakeDue(Due due, FrameOutcome& outcome) {
    if (due == Due::kInstall) {
        InstallPendingImage(outcome);
    } else if (due == Due::kReadbackRestart) {
        plc_.ResetToFactoryDefaults();
        outcome.events.emplace_back("parameters_lost",
                                    "restarting after the read-back with factory parameters");
    }
    if (auto event = ParameterEvent(false)) {
        outcome.events.push_back(std::move(*event));
    }
    LogDeviceNotes(outcome.events);
}

void ControllerModel::Reboot() {
    plc_.Reboot();
    download_.Reset();
    imagePending_ = false;
    device_.Reboot();
}

void ControllerModel::DownloadCut(Clock::time_point now, FrameOutcome& outcome) {
    device_.DownloadCut(now);
    LogDeviceNotes(outcome.events);
}

std::optional<LogEvent> ControllerModel::ParameterEvent(bool force) {
    std::array<uint32_t, kParameterCount> values{};
    for (int id = 0; id < kParameterCount; ++id) {
        values[static_cast<size_t>(id)] = plc_.ParameterRaw(id);
    }
    values[kFirmwareVersionParameter] =
        plc_.FirmwareMajor() | static_cast<uint32_t>(plc_.FirmwareMinor()) << 8;
    if (!force && loggedParameters_ == values) {
        return std::nullopt;
    }
    loggedParameters_ = values;
    LogEvent event{"parameters", "parameters:", "\"values\":["};
    for (int id = 0; id < kParameterCount; ++id) {
        const uint32_t raw = values[static_cast<size_t>(id)];
        event.text.append(" ").append(std::to_string(id)).append("=");
        event.text.append(ParameterText(id, raw));
        event.detail.append(id == 0 ? "" : ",").append(std::to_string(raw));
    }
    event.detail.append("]");
    return event;
}

std::vector<LogEvent> ControllerModel::Return(Clock::time_point now) {
    device_.Return(now);
    std::vector<LogEvent> events;
    LogDeviceNotes(events);
    return events;
}

}  // namespace sim
