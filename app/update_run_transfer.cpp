// The transfer phase: send the image, then look for the instrument until it runs the new
// firmware; send the image again only where the instrument shows it did not take it.
#include "app/update_run_steps.h"
#include "app/wizard_constants.h"
#include "ams/ads_codes.h"
#include "device/plc_memory.h"
#include "transfer/flash_firmware.h"
#include "transfer/plc_control.h"

namespace run {

// After a download the PLC may have been left stopped: a RUN request that was lost leaves it
// so until somebody starts it. An answer of STOP is taken as that, and RUN is sent again.
bool UpdateRun::PlcLeftStopped() {
    const auto plc = ReadPlcState(address_[0], address_[1], address_[2], address_[3]);
    if (!plc || *plc != ADSSTATE_STOP) {
        return false;
    }
    RequestPlcRun(address_[0], address_[1], address_[2], address_[3]);
    return true;
}

UpdateRun::Look UpdateRun::LookOnce() {
    if (transferredWhole_ && PlcLeftStopped()) {
        answered_ = true;
        return lastLook_ = Look::kPlcStarted;
    }
    const bool connected = Connect();
    // A Connect whose host registration went unanswered leaves the session open: it still
    // tells the version.
    const float version = link_.GetParameter(PARAM_FIRMWARE_VERSION);
    const int16_t state = link_.GetState();
    if (state >= 0) {
        lastState_ = state;
    }
    // Busy counts as running: the restore waits for it.
    if (version == TARGET_FIRMWARE_VERSION && state > 0) {
        sessionOnNewFirmware_ = true;
        return lastLook_ = Look::kNewFirmware;
    }
    const bool answered = connected || state >= 0;
    // Nothing half open may stay behind: it would refuse the next Connect on this side.
    EndSession(phaseEnd_);
    if (!answered) {
        return lastLook_ = Look::kAway;
    }
    return lastLook_ =
               version == TARGET_FIRMWARE_VERSION ? Look::kNewNotRunning : Look::kOldFirmware;
}

// Looks, one pause apart, until the new firmware answers and runs or `end` passes.
bool UpdateRun::AwaitNewFirmware(Clock::time_point end) {
    for (;;) {
        Pause();
        if (Clock::now() >= end) {
            return false;
        }
        if (LookOnce() == Look::kNewFirmware) {
            return true;
        }
    }
}

// A transfer starts only to an instrument that answers and is not at work on a task of its
// own: STOP would break the task off.
bool UpdateRun::MayTransfer() const {
    return lastLook_ != Look::kAway && lastState_ != device::kDeviceStateBusy;
}

// After a complete transfer the instrument installs the image, which may take a while during
// which it still answers with its old firmware, and restarts. Sending the image again then
// would install it twice. It did not take the image only when it went away and came back with
// its old firmware, or never went away and still shows it when the restart wait ends. One that
// shows the new firmware in any state, or does not answer, is waited for.
UpdateRun::Install UpdateRun::AwaitInstall(Clock::time_point end) {
    const auto restartEnd = std::min(end, Clock::now() + timing_.restartWait);
    bool wentAway = false;
    bool showedNewFirmware = false;
    for (;;) {
        Pause();
        if (Clock::now() >= end) {
            return Install::kPhaseOver;
        }
        switch (LookOnce()) {
            case Look::kNewFirmware:
                return Install::kTaken;
            case Look::kNewNotRunning:
                showedNewFirmware = true;
                break;
            case Look::kAway:
            case Look::kPlcStarted:
                wentAway = true;
                break;
            case Look::kOldFirmware:
                if (!showedNewFirmware && (wentAway || Clock::now() >= restartEnd)) {
                    return Install::kNotTaken;
                }
                break;
        }
    }
}

bool UpdateRun::TransferUntilNewFirmware(Clock::time_point end) {
    EnterPhase(end);
    lastLook_ = Look::kOldFirmware;
    for (int transfers = 0, tries = 0; transfers < MAX_FLASH_ATTEMPTS; ++tries) {
        if (tries > 0) {
            Pause();
        }
        // Nothing starts once the phase is over: no STOP goes out that no RUN may follow.
        if (Clock::now() >= end) {
            break;
        }
        if (!MayTransfer()) {
            if (LookOnce() == Look::kNewFirmware) {
                return true;
            }
            continue;
        }
        const int result = flash_(address_[0], address_[1], address_[2], address_[3], end);
        ++transfers;
        if (result == FLASH_DONE) {
            if (!transferredWhole_) {
                KeepSaved();
            }
            transferredWhole_ = true;
            const Install install = AwaitInstall(end);
            if (install == Install::kTaken) {
                return true;
            }
            if (install == Install::kPhaseOver) {
                break;
            }
            continue;
        }
        // The image did not go out whole: the instrument kept its firmware and did not
        // restart. One look, then the image again while it answers.
        if (LookOnce() == Look::kNewFirmware) {
            return true;
        }
    }
    return false;
}

}  // namespace run
