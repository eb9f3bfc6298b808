// The values: asking before kept ones are written to an instrument that does not show them,
// writing them back exactly and reading each again, and comparing what the instrument holds.
#include "app/update_run_steps.h"
#include "device/plc_memory.h"

namespace run {

void UpdateRun::Ask() {
    const KeptSet* set = kept_.For(address_);
    const bool write = set != nullptr && view_.ConfirmWriteKept(KeptDifferQuestion(*set));
    LearnAnswer(facts_, write, Clock::now(), timing_);
}

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

// Over the open session: every carried value against the one the run holds, up to the first
// that differs. Unread when a read fails: the session cannot tell.
Look::Values UpdateRun::CompareValues() {
    for (size_t k = 0; k < kRestoredCount; ++k) {
        device::ExactValue value;
        if (link_.TryGetParameterExact(kRestoreOrder[k], value) != kLinkOk) {
            return Look::Values::kUnread;
        }
        if (!(value == saved_[k])) {
            return Look::Values::kDiffer;
        }
    }
    return Look::Values::kMatch;
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
    return allWritten && CompareValues() == Look::Values::kMatch && link_.GetState() > 0;
}

}  // namespace run
