#include "app/update_run.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "app/run_progress.h"
#include "app/wizard_constants.h"
#include "device/device_link.h"
#include "device/device_timing.h"
#include "device/mailbox_record.h"
#include "device/notify_progress.h"
#include "device/plc_memory.h"
#include "platform/sleeper.h"
#include "transfer/flash_firmware.h"

namespace {

constexpr int16_t kLinkOk = -1;

enum class Coding { kFloat, kFirmwareVersion, kInteger };

// The parameters carried across the re-flash, in the order they are read. The firmware
// version is saved to be judged, not written back.
struct SavedParameter {
    int16_t id;
    Coding coding;
    int positionBeforeRead;
};
constexpr std::array<SavedParameter, 11> kSavedParameters = {{
    {0, Coding::kFloat, 1},
    {1, Coding::kFloat, 1},
    {2, Coding::kFloat, 2},
    {3, Coding::kFloat, 3},
    {6, Coding::kFloat, 4},
    {5, Coding::kFloat, 5},
    {7, Coding::kFloat, 6},
    {8, Coding::kFloat, 7},
    {PARAM_FIRMWARE_VERSION, Coding::kFirmwareVersion, 8},
    {11, Coding::kInteger, 9},
    {4, Coding::kInteger, 10},
}};
constexpr size_t kVersionIndex = 8;
static_assert(kSavedParameters[kVersionIndex].coding == Coding::kFirmwareVersion);

// The write-back order and the bar's position after each write.
struct RestoreStep {
    int16_t id;
    int positionAfterWrite;
};
constexpr std::array<RestoreStep, RESTORED_PARAMETER_COUNT> kRestoreOrder = {{
    {0, POSITION_FIRST_RESTORED},
    {1, POSITION_FIRST_RESTORED + 1},
    {2, POSITION_FIRST_RESTORED + 2},
    {3, POSITION_FIRST_RESTORED + 3},
    {6, POSITION_FIRST_RESTORED + 4},
    {5, POSITION_FIRST_RESTORED + 5},
    {7, POSITION_FIRST_RESTORED + 6},
    {8, POSITION_FIRST_RESTORED + 7},
    {11, POSITION_FIRST_RESTORED + 8},
    {4, POSITION_FIRST_RESTORED + 9},
}};
// Integer parameters travel as floats; truncated toward zero, and held inside the 32-bit range
// so that no device value can make the conversion undefined.
int32_t TruncateToInt32(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0f) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= -2147483648.0f) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

// Shuts the link down on every way out of the run, an exception included.
class ShutdownOnExit {
public:
    explicit ShutdownOnExit(CDeviceLink& link) : link_(link) {}
    ~ShutdownOnExit() {
        try {
            link_.Shutdown();
        } catch (...) {
            // Nothing more can be done for a link that cannot even be shut down; the link's own
            // destructor makes the last attempt.
        }
    }
    ShutdownOnExit(const ShutdownOnExit&) = delete;
    ShutdownOnExit& operator=(const ShutdownOnExit&) = delete;

private:
    CDeviceLink& link_;
};

using Clock = std::chrono::steady_clock;

// A float as the device encodes it, so a read-back is compared bit for bit.
uint32_t Bits(float value) {
    return std::bit_cast<uint32_t>(value);
}

size_t SavedIndex(int16_t id) {
    size_t index = 0;
    while (kSavedParameters[index].id != id) {
        ++index;
    }
    return index;
}

class UpdateRun {
public:
    UpdateRun(UpdateRunView& view, CDeviceLink& link, FlashFunction flash, const RunTiming& timing)
        : view_(view), link_(link), flash_(std::move(flash)), timing_(timing) {}

    bool Run();

private:
    bool Connect() {
        return link_.Connect(address_[0], address_[1], address_[2], address_[3]) == kLinkOk;
    }
    bool Fail(const char* text, bool resetPosition = true) {
        if (resetPosition) {
            view_.SetProgressPosition(0);
        }
        view_.SetMessageText(text);
        return false;
    }
    // Reads every saved parameter until one read fails; false when one did.
    bool SaveParameters();
    // The phase the run is in: no Connect starts, and no exchange waits, after its end.
    void EnterPhase(Clock::time_point end) {
        phaseEnd_ = end;
        link_.SetDeadline(end);
    }
    // Ends the session, waiting for the release until `releaseEnd`. A release the device does
    // not answer would keep the session open on this side, and every later Connect would be
    // refused: then the session is shut down here.
    void EndSession(Clock::time_point releaseEnd) {
        link_.SetDeadline(releaseEnd);
        if (link_.Close() != kLinkOk) {
            link_.Shutdown();
        }
        link_.SetDeadline(phaseEnd_);
    }
    // Ends a session that has done its work: the release gets its full limit.
    void ReleaseSession() { EndSession(Clock::now() + device::ExchangeTimeLimit()); }
    // The one-second pause between two looks or transfers, keeping the wizard painted.
    void Pause() {
        platform::SleepFixed(FLASH_RETRY_PAUSE);
        view_.PumpPendingMessages();
    }

    enum class Look {
        kNewFirmware,  // answers with the new firmware and runs; the session stays open
        kOldFirmware,  // answers with another version: not restarted yet, or restarted without it
        kNotReady,     // answers with the new firmware but does not report a running state yet
        kAway,         // does not answer
    };
    Look LookOnce();
    // Looks, one pause apart, until the new firmware answers or `end` passes.
    bool AwaitNewFirmware(Clock::time_point end);
    // Transfers until the instrument runs the new firmware; true with its session open.
    bool TransferUntilNewFirmware(Clock::time_point end);
    // Writes every saved value back and reads each again; true when all match and the session
    // outlived it.
    bool RestoreRound(int& busyRetriesLeft, Clock::time_point end);
    bool RestoreParameters(Clock::time_point end);
    bool WriteBack(int16_t id, float value, int& busyRetriesLeft, Clock::time_point end);
    bool ReadsBackAsSaved(int16_t id);

    UpdateRunView& view_;
    CDeviceLink& link_;
    FlashFunction flash_;
    const RunTiming timing_;
    Clock::time_point phaseEnd_ = Clock::time_point::max();
    std::array<uint8_t, 4> address_{};
    std::array<float, kSavedParameters.size()> saved_{};
    bool versionRead_ = false;
};

bool UpdateRun::SaveParameters() {
    for (size_t i = 0; i < kSavedParameters.size(); ++i) {
        const SavedParameter& parameter = kSavedParameters[i];
        view_.SetProgressPosition(parameter.positionBeforeRead);
        // -1.0 is a value like any other; only the read's own result says it failed.
        float value = -1.0f;
        const bool read = link_.TryGetParameter(parameter.id, value) == kLinkOk;
        if (!read) {
            // Without this one there is no backup; the rest need not be waited for.
            return false;
        }
        if (parameter.coding == Coding::kFirmwareVersion) {
            versionRead_ = true;
        }
        saved_[i] = parameter.coding == Coding::kInteger
                        ? static_cast<float>(TruncateToInt32(value))
                        : value;
    }
    return true;
}

UpdateRun::Look UpdateRun::LookOnce() {
    const bool connected = Connect();
    // A Connect whose host registration went unanswered leaves the session open: it still
    // tells the version.
    const float version = link_.GetParameter(PARAM_FIRMWARE_VERSION);
    const int16_t state = link_.GetState();
    if (version == TARGET_FIRMWARE_VERSION && state > 0) {
        return Look::kNewFirmware;
    }
    const bool answered = connected || state >= 0;
    // Nothing half open may stay behind: it would refuse the next Connect on this side.
    EndSession(phaseEnd_);
    if (!answered) {
        return Look::kAway;
    }
    return version == TARGET_FIRMWARE_VERSION ? Look::kNotReady : Look::kOldFirmware;
}

bool UpdateRun::AwaitNewFirmware(Clock::time_point end) {
    while (Clock::now() < end) {
        Pause();
        if (LookOnce() == Look::kNewFirmware) {
            return true;
        }
    }
    return false;
}

bool UpdateRun::TransferUntilNewFirmware(Clock::time_point end) {
    EnterPhase(end);
    for (int transfers = 0; transfers < MAX_FLASH_ATTEMPTS && Clock::now() < end;) {
        if (transfers > 0) {
            Pause();
        }
        const int result = flash_(address_[0], address_[1], address_[2], address_[3], end);
        ++transfers;
        if (result != FLASH_DONE) {
            // The image did not go out whole: the instrument kept its firmware and did not
            // restart. One look, then the image again.
            if (LookOnce() == Look::kNewFirmware) {
                return true;
            }
            continue;
        }
        // After a complete transfer the instrument installs the image, which may take a while
        // during which it still answers with its old firmware, and restarts. Sending the image
        // again meanwhile would only restart it again. It has restarted without the image when
        // it went away and came back with its old firmware; and one that never restarts within
        // the restart wait is treated the same way.
        const auto restartEnd = std::min(end, Clock::now() + timing_.restartWait);
        bool wentAway = false;
        while (Clock::now() < restartEnd) {
            Pause();
            const Look look = LookOnce();
            if (look == Look::kNewFirmware) {
                return true;
            }
            if (look == Look::kAway) {
                wentAway = true;
            } else if (look == Look::kOldFirmware && wentAway) {
                break;
            }
        }
    }
    return false;
}

bool UpdateRun::WriteBack(int16_t id, float value, int& busyRetriesLeft, Clock::time_point end) {
    for (;;) {
        if (link_.SetParameter(id, value) == kLinkOk) {
            return true;
        }
        // Only a device that says it is busy is worth waiting for; a write that went
        // unanswered, or a session that is gone, is not retried here.
        if (link_.GetState() != device::kDeviceStateBusy || busyRetriesLeft == 0 ||
            Clock::now() >= end) {
            return false;
        }
        --busyRetriesLeft;
        platform::SleepFixed(BUSY_WRITE_RETRY_PAUSE);
        view_.PumpPendingMessages();
    }
}

bool UpdateRun::ReadsBackAsSaved(int16_t id) {
    const size_t index = SavedIndex(id);
    float value = 0.0f;
    if (link_.TryGetParameter(id, value) != kLinkOk) {
        return false;
    }
    if (kSavedParameters[index].coding == Coding::kInteger) {
        return TruncateToInt32(value) == TruncateToInt32(saved_[index]);
    }
    return Bits(value) == Bits(saved_[index]);
}

bool UpdateRun::RestoreRound(int& busyRetriesLeft, Clock::time_point end) {
    bool allWritten = true;
    for (const RestoreStep& step : kRestoreOrder) {
        // Every write is attempted, also after one has failed: each restored value counts.
        allWritten =
            WriteBack(step.id, saved_[SavedIndex(step.id)], busyRetriesLeft, end) && allWritten;
        view_.SetProgressPosition(step.positionAfterWrite);
    }
    if (!allWritten) {
        return false;
    }
    // An instrument that restarted meanwhile has lost what it was sent: every value must read
    // back as saved, and the session must still be the one the writes went over.
    for (const RestoreStep& step : kRestoreOrder) {
        if (!ReadsBackAsSaved(step.id)) {
            return false;
        }
    }
    return link_.GetState() > 0;
}

bool UpdateRun::RestoreParameters(Clock::time_point end) {
    EnterPhase(end);
    int busyRetriesLeft = MAX_BUSY_WRITE_RETRIES;
    for (int round = 0; round < MAX_RESTORE_ROUNDS && Clock::now() < end; ++round) {
        // The first round goes over the session that found the new firmware; a later one over
        // a new session, once the instrument shows the new firmware again.
        if (round > 0) {
            EndSession(end);
            if (!AwaitNewFirmware(end)) {
                return false;
            }
        }
        if (RestoreRound(busyRetriesLeft, end)) {
            return true;
        }
    }
    return false;
}

bool UpdateRun::Run() {
    const auto start = Clock::now();
    address_ = view_.ReadAddress();
    view_.SetProgressRange(0, PROGRESS_RANGE_MAX);

    EnterPhase(start + timing_.save);
    if (!Connect()) {
        return Fail(TEXT_CONNECT_FAILED, false);
    }
    const bool allRead = SaveParameters();
    const int16_t state = link_.GetState();

    view_.SetProgressPosition(POSITION_CLOSING);
    ReleaseSession();
    view_.SetProgressPosition(POSITION_SETTLING);
    for (int i = 0; i < SETTLE_WAIT_COUNT; ++i) {
        platform::SleepFixed(SETTLE_WAIT);
    }

    // A version that could not be read is not judged: it would read as "too old".
    if (versionRead_) {
        const float installed = saved_[kVersionIndex];
        if (installed < MIN_UPDATABLE_VERSION) {
            return Fail(TEXT_TOO_OLD);
        }
        if (static_cast<double>(installed) >= static_cast<double>(TARGET_FIRMWARE_VERSION)) {
            return Fail(TEXT_ALREADY_CURRENT);
        }
    }
    // Without a backup of every parameter the instrument is not touched.
    if (!allRead) {
        return Fail(TEXT_READ_FAILED);
    }
    // Nor is one in the middle of a task of its own: stopping its PLC would break it off.
    if (state == device::kDeviceStateBusy) {
        return Fail(TEXT_BUSY);
    }

    ProgressWindow = view_.WindowHandle();
    // The instrument must answer, run, and carry the new firmware; one that came back with its
    // old version was not updated, whatever the transfer reported.
    if (!TransferUntilNewFirmware(Clock::now() + timing_.transfer)) {
        return Fail(TEXT_UNKNOWN_ERROR);
    }
    if (!RestoreParameters(Clock::now() + timing_.restore)) {
        return Fail(TEXT_RESTORE_FAILED);
    }
    ReleaseSession();
    view_.SetProgressPosition(PROGRESS_RANGE_MAX);
    return true;
}

int FlashEmbeddedFirmware(int a, int b, int c, int d, Clock::time_point notAfter) {
    return FlashFirmware(a, b, c, d, SystemLocalAddressSource(), notAfter);
}

}  // namespace

std::chrono::milliseconds RunWorstCase(const RunTiming& timing) {
    // One ADS call (a status read, the worker's last cycle, STOP, RUN, a send) may be under
    // way when a limit passes; so may one pause between two looks.
    const std::chrono::milliseconds call = device::kAdsCallTimeout;
    const std::chrono::milliseconds release = device::ExchangeTimeLimit();
    const std::chrono::milliseconds settle = SETTLE_WAIT * SETTLE_WAIT_COUNT;
    return (timing.save + call) + (release + call) + settle +
           (timing.transfer + 2 * call + call + FLASH_RETRY_PAUSE) +
           (timing.restore + 2 * call + FLASH_RETRY_PAUSE) + (release + call);
}

bool RunUpdate(UpdateRunView& view, const UpdateRunOptions& options) {
    KeptParameters none;
    return RunUpdate(view, none, options);
}

bool RunUpdate(UpdateRunView& view, KeptParameters& /*kept*/, const UpdateRunOptions& options) {
    try {
        // Paint the running layout before the first blocking call.
        view.PumpPendingMessages();
        CDeviceLink link;
        ShutdownOnExit shutdown(link);
        UpdateRun run(view, link, options.flash ? options.flash : FlashEmbeddedFirmware,
                      options.timing);
        return run.Run();
    } catch (...) {
        // No failure leaves the run as an exception: the wizard shows it like any other.
        try {
            view.SetProgressPosition(0);
            view.SetMessageText(TEXT_UNKNOWN_ERROR);
        } catch (...) {
            // A view that cannot even show the failure still gets false.
        }
        return false;
    }
}
