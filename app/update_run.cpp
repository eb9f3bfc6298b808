#include "app/update_run.h"

#include <cmath>
#include <limits>

#include "app/wizard_constants.h"
#include "device/device_link.h"
#include "device/mailbox_record.h"
#include "device/notify_progress.h"
#include "device/plc_memory.h"
#include "platform/sleeper.h"
#include "transfer/flash_firmware.h"

namespace {

constexpr int16_t kLinkOk = -1;
constexpr int kPositionClosing = 11;
constexpr int kPositionSettling = 12;

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
constexpr std::array<RestoreStep, 10> kRestoreOrder = {{
    {0, 64},
    {1, 65},
    {2, 66},
    {3, 67},
    {6, 68},
    {5, 69},
    {7, 70},
    {8, 71},
    {11, 72},
    {4, 73},
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

class UpdateRun {
public:
    UpdateRun(UpdateRunView& view, CDeviceLink& link, FlashFunction flash)
        : view_(view), link_(link), flash_(std::move(flash)) {}

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
    // Reads every saved parameter; false when any read went unanswered.
    bool SaveParameters();
    // Ends the session before the PLC is touched. A release the device does not answer would
    // keep the session open, and every later Connect would then be refused on this side.
    void EndSession() {
        if (link_.Close() != kLinkOk) {
            link_.Shutdown();
        }
    }
    enum class Answer { kNone, kConnected, kNewFirmwareOnly };
    Answer TryConnect();
    // Transfers until the instrument answers again; true when a Connect succeeded.
    bool TransferUntilAnswered();
    bool RestoreParameters();
    bool WriteBack(int16_t id, float value, int& busyRetriesLeft);

    UpdateRunView& view_;
    CDeviceLink& link_;
    FlashFunction flash_;
    std::array<uint8_t, 4> address_{};
    std::array<float, kSavedParameters.size()> saved_{};
    bool versionRead_ = false;
};

bool UpdateRun::SaveParameters() {
    bool allRead = true;
    for (size_t i = 0; i < kSavedParameters.size(); ++i) {
        const SavedParameter& parameter = kSavedParameters[i];
        view_.SetProgressPosition(parameter.positionBeforeRead);
        // -1.0 is a value like any other; only the read's own result says it failed.
        float value = -1.0f;
        const bool read = link_.TryGetParameter(parameter.id, value) == kLinkOk;
        allRead = allRead && read;
        if (parameter.coding == Coding::kFirmwareVersion) {
            versionRead_ = read;
        }
        saved_[i] = parameter.coding == Coding::kInteger
                        ? static_cast<float>(TruncateToInt32(value))
                        : (read ? value : -1.0f);
    }
    return allRead;
}

UpdateRun::Answer UpdateRun::TryConnect() {
    if (Connect()) {
        return Answer::kConnected;
    }
    // A Connect whose host registration went unanswered leaves the session open; if it
    // already carries the new firmware, the transfer has taken.
    if (link_.GetParameter(PARAM_FIRMWARE_VERSION) == TARGET_FIRMWARE_VERSION) {
        return Answer::kNewFirmwareOnly;
    }
    // Nothing half open may stay behind: it would refuse the next Connect on this side.
    EndSession();
    return Answer::kNone;
}

bool UpdateRun::TransferUntilAnswered() {
    for (int attempts = 0;;) {
        if (attempts > 0) {
            platform::SleepFixed(FLASH_RETRY_PAUSE);
        }
        const bool complete =
            flash_(address_[0], address_[1], address_[2], address_[3]) == FLASH_DONE;
        ++attempts;
        Answer answer = Answer::kNone;
        if (!complete) {
            answer = TryConnect();
        } else {
            // After a complete transfer the instrument installs the image and restarts. It is
            // given that time to answer again rather than being sent the image once more
            // while it boots, which would only restart it again and lose the run.
            for (int wait = 0; answer == Answer::kNone && wait < RESTART_WAIT_COUNT; ++wait) {
                platform::SleepFixed(FLASH_RETRY_PAUSE);
                view_.PumpPendingMessages();
                answer = TryConnect();
            }
        }
        if (answer != Answer::kNone || attempts >= MAX_FLASH_ATTEMPTS) {
            return answer == Answer::kConnected;
        }
    }
}

bool UpdateRun::WriteBack(int16_t id, float value, int& busyRetriesLeft) {
    for (;;) {
        if (link_.SetParameter(id, value) == kLinkOk) {
            return true;
        }
        // Only a device that says it is busy is worth waiting for; a write that went
        // unanswered, or a session that is gone, is not retried.
        if (link_.GetState() != device::kDeviceStateBusy || busyRetriesLeft == 0) {
            return false;
        }
        --busyRetriesLeft;
        platform::SleepFixed(BUSY_WRITE_RETRY_PAUSE);
        // Up to half a minute in all: keep the wizard painted meanwhile.
        view_.PumpPendingMessages();
    }
}

bool UpdateRun::RestoreParameters() {
    int busyRetriesLeft = MAX_BUSY_WRITE_RETRIES;
    bool allRestored = true;
    for (const RestoreStep& step : kRestoreOrder) {
        size_t saved = 0;
        while (kSavedParameters[saved].id != step.id) {
            ++saved;
        }
        // Every write is attempted, also after one has failed: each restored value counts.
        allRestored = WriteBack(step.id, saved_[saved], busyRetriesLeft) && allRestored;
        view_.SetProgressPosition(step.positionAfterWrite);
    }
    return allRestored;
}

bool UpdateRun::Run() {
    address_ = view_.ReadAddress();
    view_.SetProgressRange(0, PROGRESS_RANGE_MAX);

    if (!Connect()) {
        return Fail(TEXT_CONNECT_FAILED, false);
    }
    const bool allRead = SaveParameters();

    view_.SetProgressPosition(kPositionClosing);
    EndSession();
    view_.SetProgressPosition(kPositionSettling);
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

    ProgressWindow = view_.WindowHandle();
    TransferUntilAnswered();

    // The instrument must answer, run, and carry the new firmware; a controller that came back
    // with its old version was not updated, whatever the transfer reported.
    if (link_.GetState() <= 0 ||
        link_.GetParameter(PARAM_FIRMWARE_VERSION) != TARGET_FIRMWARE_VERSION) {
        return Fail(TEXT_UNKNOWN_ERROR);
    }

    const bool restored = RestoreParameters();
    link_.Close();
    if (!restored) {
        return Fail(TEXT_RESTORE_FAILED);
    }
    view_.SetProgressPosition(PROGRESS_RANGE_MAX);
    return true;
}

int FlashEmbeddedFirmware(int a, int b, int c, int d) {
    return FlashFirmware(a, b, c, d);
}

}  // namespace

bool RunUpdate(UpdateRunView& view, const UpdateRunOptions& options) {
    try {
        // Paint the running layout before the first blocking call.
        view.PumpPendingMessages();
        CDeviceLink link;
        ShutdownOnExit shutdown(link);
        UpdateRun run(view, link, options.flash ? options.flash : FlashEmbeddedFirmware);
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
