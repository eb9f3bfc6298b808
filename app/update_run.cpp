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

int FlashEmbeddedFirmware(int a, int b, int c, int d, Clock::time_point notAfter,
                          FlashReport& report) {
    return FlashFirmware(a, b, c, d, SystemLocalAddressSource(), notAfter, report);
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

void UpdateRun::EnterPhase(Clock::time_point end) {
    phaseEnd_ = end;
    link_.SetDeadline(end);
}

// Ends the session, waiting for the release until `releaseEnd`. A release the device does not
// answer would keep the session open on this side, and every later Connect would be refused:
// then the session is shut down here.
void UpdateRun::EndSession(Clock::time_point releaseEnd) {
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
// stopped, until the save phase ends; an address where nothing answers fails at once. An
// instrument that comes back with another firmware restarted meanwhile: the values read
// before may not be its own now, so the reading starts again from the first.
UpdateRun::Saved UpdateRun::SaveAll() {
    size_t next = 0;
    std::optional<float> shown;
    for (;;) {
        if (Connect()) {
            float version = 0.0f;
            if (link_.TryGetParameter(PARAM_FIRMWARE_VERSION, version) == kLinkOk) {
                if (shown && *shown != version) {
                    next = 0;
                    versionRead_ = false;
                }
                shown = version;
            }
            if (ReadRemaining(next)) {
                lastState_ = link_.GetState();
                return Saved::kAll;
            }
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

// The values are kept from just before the first STOP: from then on the instrument may end up
// with factory values whatever the transfer reports.
void UpdateRun::KeepSaved() {
    KeptSet set;
    set.address = address_;
    set.savedAt = std::chrono::system_clock::now();
    set.version = version_;
    for (size_t k = 0; k < kRestoredCount; ++k) {
        set.values.emplace_back(kRestoreOrder[k], saved_[k]);
    }
    set.facts = facts_;
    kept_.Keep(std::move(set));
    keeping_ = true;
}

// Looks, decides, carries the decision out and learns from it, until the decision ends the run.
bool UpdateRun::FollowDecisions() {
    ProgressWindow = view_.WindowHandle();
    for (;;) {
        // Past the phase's end only the PLC's state is looked at again (a PLC the run left
        // stopped gets one last RUN), and once the user has declined nothing is; the last look
        // tells the rest.
        const bool over = Clock::now() >= facts_.phaseEnd;
        const Look look = facts_.declined ? lastLook_ : over ? LookAtPlc(lastLook_) : LookNow();
        const Decision decision = Decide(facts_, look, Clock::now(), timing_);
        if (onDecision_) {
            onDecision_(decision.rule);
        }
        LearnFromLook(facts_, look, Clock::now(), timing_);
        lastLook_ = look;
        EnterPhase(facts_.phaseEnd);
        if (decision.action == Action::kDone) {
            return Succeed();
        }
        if (decision.action == Action::kGiveUp) {
            return GiveUp(decision.text);
        }
        Carry(decision);
        if (keeping_) {
            if (KeptSet* set = kept_.For(address_)) {
                set->facts = facts_;
            }
        }
    }
}

void UpdateRun::Carry(const Decision& decision) {
    switch (decision.action) {
        case Action::kLookAgain:
            EndSession(phaseEnd_);
            Pause();
            break;
        case Action::kConfirmLater:
            ReleaseSession();
            Settle();
            break;
        case Action::kSendRun:
            SendRun();
            Pause();
            break;
        case Action::kTransfer:
            if (!keeping_) {
                KeepSaved();
            }
            Transfer();
            Pause();
            break;
        case Action::kAsk:
            Ask();
            EndSession(phaseEnd_);
            break;
        case Action::kRestore: {
            const bool inPlace = RestoreRound(phaseEnd_);
            LearnRestore(facts_, inPlace);
            // A round that read every value back is confirmed over a new session after the
            // settle time; one that did not is looked at again.
            if (inPlace) {
                ReleaseSession();
                Settle();
            } else {
                EndSession(phaseEnd_);
                Pause();
            }
            break;
        }
        case Action::kDone:
        case Action::kGiveUp:
            break;
    }
}

// Every value confirmed on the new firmware: nothing is kept for this instrument any more.
bool UpdateRun::Succeed() {
    kept_.Drop(address_);
    ReleaseSession();
    view_.SetProgressPosition(PROGRESS_RANGE_MAX);
    return true;
}

// While the instrument may have lost its values, they stay kept and the text says so; a run
// that never got that far, or that found them all in place on the old firmware, keeps nothing.
bool UpdateRun::GiveUp(const char* text) {
    if (keeping_ && NothingLost(facts_, Clock::now(), timing_)) {
        kept_.Drop(address_);
    }
    return Fail(canKeep_ && kept_.For(address_) != nullptr ? WithValuesKept(text)
                                                           : std::string(text));
}

// An earlier run to this instrument ended without confirming its values: this one takes over
// what it knew of its STOPs, RUNs and images, and carries its values, which are written only
// once the instrument shows them or the user agrees.
bool UpdateRun::Resume(const KeptSet& set) {
    for (size_t k = 0; k < kRestoredCount; ++k) {
        saved_[k] = set.values[k].second;
    }
    version_ = set.version;
    versionRead_ = true;
    keeping_ = true;
    facts_ = ResumedFacts(set.facts, Clock::now(), timing_);
    return FollowDecisions();
}

bool UpdateRun::Run() {
    address_ = view_.ReadAddress();
    view_.SetProgressRange(0, PROGRESS_RANGE_MAX);
    if (const KeptSet* set = kept_.For(address_); set && set->values.size() == kRestoredCount) {
        return Resume(*set);
    }
    EnterPhase(Clock::now() + timing_.save);
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
    facts_ = FreshFacts(Clock::now(), timing_);
    return FollowDecisions();
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
    // A look begun just before a phase's end: the PLC's state, the session's status read and a
    // wait for the lock, the session ended, the state word read last.
    const auto look = 4 * call + endSession;
    // Past a phase's end: the PLC's state, one last RUN for a PLC the run left stopped, the
    // pause, and the PLC's state once more for the text.
    const auto pastEnd = 3 * call + timing.pause;
    // What may still be under way when a phase's limit passes.
    const auto save = timing.save + call + endSession + timing.pause;
    // A transfer begun just before the end (STOP, connect, name, a frame, RUN), or a look, and
    // the pause after either.
    const auto transfer = timing.transfer + 5 * call + look + timing.pause + pastEnd;
    // A look, or a restore round (a busy write's state read and pause, the state read after the
    // read-back) and the release and settle time after it.
    const auto restore =
        timing.restore + look + endSession + timing.settle + timing.pause + pastEnd;
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
        run.OnDecision(options.onDecision);
        return run.Run();
    } catch (...) {
        // No failure leaves the run as an exception: the wizard shows it like any other, and
        // values kept before it stay kept.
        try {
            view.SetProgressPosition(0);
            view.SetMessageText(canKeep && kept.For(view.ReadAddress()) != nullptr
                                    ? WithValuesKept(TEXT_UNKNOWN_ERROR)
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
