// The restore phase: write every saved value back exactly, read each again, and confirm the
// values once more over a new session, so that an instrument that restarts once more after
// the writes (an install in two stages) is caught before success is reported.
#include "app/update_run_steps.h"
#include "device/plc_memory.h"
#include "platform/sleeper.h"

namespace run {
// A write refused while the instrument reports busy is tried again, one pause apart, until
// the phase ends; a write that went unanswered, or a session that is gone, is not.
bool UpdateRun::WriteBack(int16_t id, const device::ExactValue& value, Clock::time_point end) {
    for (;;) {
        if (link_.SetParameterExact(id, value) == kLinkOk) {
            return true;
        }
        if (link_.GetState() != device::kDeviceStateBusy) {
            return false;
        }
        Pause();
        if (Clock::now() >= end) {
            return false;
        }
    }
}

bool UpdateRun::ReadsBackAsSaved() {
    for (size_t k = 0; k < kRestoredCount; ++k) {
        device::ExactValue value;
        if (link_.TryGetParameterExact(kRestoreOrder[k], value) != kLinkOk ||
            !(value == saved_[k])) {
            return false;
        }
    }
    return true;
}

// Writes every saved value back over the open session and reads each again. True when all
// read back as saved and the instrument still runs, over the same session.
bool UpdateRun::RestoreRound(Clock::time_point end) {
    bool allWritten = true;
    for (size_t k = 0; k < kRestoredCount; ++k) {
        // Every write is attempted, also after one has failed: each restored value counts. But
        // none goes out once the phase is over: the run is about to say it failed.
        allWritten =
            Clock::now() < end && WriteBack(kRestoreOrder[k], saved_[k], end) && allWritten;
        view_.SetProgressPosition(PositionAfterWrite(k));
    }
    return allWritten && ReadsBackAsSaved() && link_.GetState() > 0;
}

// Success only once the values are confirmed afresh: the session that wrote them is ended,
// the instrument settles, answers again with the new firmware and a running state, and every
// value still reads back as saved. Anything else goes round again, while rounds and time last.
bool UpdateRun::RestoreAndConfirm(Clock::time_point end) {
    EnterPhase(end);
    for (int round = 0; round < MAX_RESTORE_ROUNDS; ++round) {
        if (!sessionOnNewFirmware_) {
            EndSession(end);
            if (!AwaitNewFirmware(end)) {
                return false;
            }
        }
        if (!RestoreRound(end)) {
            sessionOnNewFirmware_ = false;
            continue;
        }
        ReleaseSession();
        Settle();
        if (!AwaitNewFirmware(end)) {
            return false;
        }
        if (ReadsBackAsSaved()) {
            return true;
        }
    }
    return false;
}

}  // namespace run
