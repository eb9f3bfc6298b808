#include "app/update_run.h"

#include "app/update_run_steps.h"
#include "app/wizard_constants.h"
#include "device/device_timing.h"
#include "device/notify_progress.h"
#include "device/plc_memory.h"
#include "platform/sleeper.h"
#include "transfer/flash_firmware.h"

namespace run {
namespace {

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

int FlashEmbeddedFirmware(int a, int b, int c, int d, Clock::time_point notAfter) {
    return FlashFirmware(a, b, c, d, SystemLocalAddressSource(), notAfter);
}

}  // namespace

bool UpdateRun::Connect() {
    const bool connected =
        link_.Connect(address_[0], address_[1], address_[2], address_[3]) == kLinkOk;
    answered_ = answered_ || connected || link_.Reached();
    everConnected_ = everConnected_ || connected;
    return connected;
}

bool UpdateRun::Fail(const std::string& text, bool resetPosition) {
    if (resetPosition) {
        view_.SetProgressPosition(0);
    }
    view_.SetMessageText(text);
    return false;
}

// After a complete transfer the instrument may hold factory values: the failure says that the
// saved ones are kept, and how to put them back.
bool UpdateRun::FailKeeping(const char* text) {
    return Fail(canKeep_ && kept_.IsFor(address_) ? WithValuesKept(text) : std::string(text));
}

void UpdateRun::EnterPhase(Clock::time_point end) {
    phaseEnd_ = end;
    link_.SetDeadline(end);
}

// Ends the session, waiting for the release until `releaseEnd`. A release the device does not
// answer would keep the session open on this side, and every later Connect would be refused:
// then the session is shut down here.
void UpdateRun::EndSession(Clock::time_point releaseEnd) {
    sessionOnNewFirmware_ = false;
    link_.SetDeadline(releaseEnd);
    if (link_.Close() != kLinkOk) {
        link_.Shutdown();
    }
    link_.SetDeadline(phaseEnd_);
}

// Ends a session that has done its work: the release gets its full limit.
void UpdateRun::ReleaseSession() {
    EndSession(Clock::now() + device::ExchangeTimeLimit());
}

// The pause between two looks or transfers, keeping the wizard painted.
void UpdateRun::Pause() {
    platform::SleepFixed(timing_.pause);
    view_.PumpPendingMessages();
}

void UpdateRun::Settle() {
    for (int i = 0; i < SETTLE_WAIT_COUNT; ++i) {
        platform::SleepFixed(timing_.settle / SETTLE_WAIT_COUNT);
    }
}

// Reads the saved parameters from `next` on over the open session; false at the first read
// that fails, with `next` left at it.
bool UpdateRun::ReadRemaining(size_t& next) {
    for (; next < kSaveOrder.size(); ++next) {
        const SaveStep& step = kSaveOrder[next];
        view_.SetProgressPosition(step.positionBeforeRead);
        if (step.id == PARAM_FIRMWARE_VERSION) {
            // -1.0 is a value like any other; only the read's own result says it failed.
            if (link_.TryGetParameter(step.id, version_) != kLinkOk) {
                return false;
            }
            versionRead_ = true;
            continue;
        }
        device::ExactValue value;
        if (link_.TryGetParameterExact(step.id, value) != kLinkOk) {
            return false;
        }
        saved_[RestoreSlot(next)] = value;
    }
    return true;
}

// Connects and reads every carried parameter. Nothing has been changed yet, so a connection
// that drops after the instrument has answered is made again and the reading goes on where it
// stopped, until the save phase ends; an address where nothing answers fails at once.
UpdateRun::Saved UpdateRun::SaveAll() {
    size_t next = 0;
    for (;;) {
        if (Connect() && ReadRemaining(next)) {
            lastState_ = link_.GetState();
            return Saved::kAll;
        }
        if (!answered_ || Clock::now() >= phaseEnd_) {
            return everConnected_ ? Saved::kNotRead : Saved::kNotConnected;
        }
        EndSession(phaseEnd_);
        Pause();
    }
}

// The text that refuses the update for the version read, or nullptr when it may go on. A
// version that could not be read is not judged: it would read as "too old".
const char* UpdateRun::Verdict() const {
    if (!versionRead_) {
        return nullptr;
    }
    if (version_ < MIN_UPDATABLE_VERSION) {
        return TEXT_TOO_OLD;
    }
    if (static_cast<double>(version_) >= static_cast<double>(TARGET_FIRMWARE_VERSION)) {
        return TEXT_ALREADY_CURRENT;
    }
    return nullptr;
}

void UpdateRun::KeepSaved() {
    kept_.address = address_;
    kept_.values.clear();
    for (size_t k = 0; k < kRestoredCount; ++k) {
        kept_.values.emplace_back(kRestoreOrder[k], saved_[k]);
    }
}

// The transfer, then the restore; the saved values are kept from the first complete download
// until they are confirmed on the instrument.
bool UpdateRun::UpdateAndRestore() {
    ProgressWindow = view_.WindowHandle();
    // The instrument must answer, run, and carry the new firmware; one that came back with its
    // old version was not updated, whatever the transfer reported.
    if (!TransferUntilNewFirmware(Clock::now() + timing_.transfer)) {
        return FailKeeping(TEXT_UNKNOWN_ERROR);
    }
    return RestoreThenFinish();
}

// Success only once every value is confirmed on the instrument; then nothing is kept.
bool UpdateRun::RestoreThenFinish() {
    if (!RestoreAndConfirm(Clock::now() + timing_.restore)) {
        return FailKeeping(TEXT_RESTORE_FAILED);
    }
    kept_.Clear();
    ReleaseSession();
    view_.SetProgressPosition(PROGRESS_RANGE_MAX);
    return true;
}

// An earlier run to this instrument ended after a complete transfer without a confirmed
// restore. If the instrument now shows the new firmware, the kept values are what it must get
// back: its own are not saved (they may be factory values) and not judged as current.
bool UpdateRun::ResumeKeptRestore() {
    for (size_t k = 0; k < kRestoredCount; ++k) {
        saved_[k] = kept_.values[k].second;
    }
    view_.SetProgressPosition(POSITION_FIRST_RESTORED);
    return RestoreThenFinish();
}

bool UpdateRun::Run() {
    address_ = view_.ReadAddress();
    view_.SetProgressRange(0, PROGRESS_RANGE_MAX);
    EnterPhase(Clock::now() + timing_.save);
    if (kept_.IsFor(address_) && kept_.values.size() == kRestoredCount) {
        Look look = LookOnce();
        while (look == Look::kAway && answered_ && Clock::now() < phaseEnd_) {
            Pause();
            look = LookOnce();
        }
        if (look == Look::kNewFirmware || look == Look::kNewNotRunning) {
            return ResumeKeptRestore();
        }
        if (look == Look::kAway) {
            return Fail(TEXT_CONNECT_FAILED, false);
        }
    }
    const Saved saved = SaveAll();
    if (saved == Saved::kNotConnected) {
        return Fail(TEXT_CONNECT_FAILED, false);
    }
    view_.SetProgressPosition(POSITION_CLOSING);
    ReleaseSession();
    view_.SetProgressPosition(POSITION_SETTLING);
    Settle();
    if (const char* refusal = Verdict()) {
        return Fail(refusal);
    }
    // Without a backup of every parameter the instrument is not touched.
    if (saved != Saved::kAll) {
        return Fail(TEXT_READ_FAILED);
    }
    // Nor is one in the middle of a task of its own: stopping its PLC would break it off.
    if (lastState_ == device::kDeviceStateBusy) {
        return Fail(TEXT_BUSY);
    }
    return UpdateAndRestore();
}

}  // namespace run

std::string WithValuesKept(const char* text) {
    return std::string(text) + " " + TEXT_VALUES_KEPT;
}

std::chrono::milliseconds RunWorstCase(const RunTiming& timing) {
    const std::chrono::milliseconds call = device::AdsCallTimeout();
    // A session ended: its release (bounded by the release's own deadline) and, when that went
    // unanswered, Shutdown's wait for the worker and its waits for the lock.
    const std::chrono::milliseconds endSession =
        device::ExchangeTimeLimit() + device::WorkerEndWait() + 12 * call;
    // What may still be under way when a phase's limit passes.
    const auto save = timing.save + call + endSession + timing.pause;
    // A transfer begun just before the end (STOP, connect, name, a frame, RUN), a look (the
    // PLC's state, RUN again, the status read) and its session, a pause.
    const auto transfer = timing.transfer + 5 * call + 3 * call + endSession + timing.pause;
    // A look and its session, the session released before the confirmation, the settle time,
    // a busy write's pause and the pause before the confirming look.
    const auto restore =
        timing.restore + 3 * call + 2 * endSession + timing.settle + 2 * timing.pause;
    // The saving session's release and the settle time; the last release and Shutdown.
    return save + endSession + timing.settle + transfer + restore + 2 * endSession;
}

namespace {

bool RunUpdateKeeping(UpdateRunView& view, KeptParameters& kept, bool canKeep,
                      const UpdateRunOptions& options) {
    try {
        // Paint the running layout before the first blocking call.
        view.PumpPendingMessages();
        CDeviceLink link;
        run::ShutdownOnExit shutdown(link);
        run::UpdateRun run(view, link, options.flash ? options.flash : run::FlashEmbeddedFirmware,
                           options.timing, kept, canKeep);
        return run.Run();
    } catch (...) {
        // No failure leaves the run as an exception: the wizard shows it like any other, and
        // values kept before it stay kept.
        try {
            view.SetProgressPosition(0);
            view.SetMessageText(canKeep && kept.Holds() ? WithValuesKept(TEXT_UNKNOWN_ERROR)
                                                        : std::string(TEXT_UNKNOWN_ERROR));
        } catch (...) {
            // A view that cannot even show the failure still gets false.
        }
        return false;
    }
}

}  // namespace

bool RunUpdate(UpdateRunView& view, const UpdateRunOptions& options) {
    // Nobody holds the values once this returns: the failure text must not say they are kept.
    KeptParameters none;
    return RunUpdateKeeping(view, none, false, options);
}

bool RunUpdate(UpdateRunView& view, KeptParameters& kept, const UpdateRunOptions& options) {
    return RunUpdateKeeping(view, kept, true, options);
}
