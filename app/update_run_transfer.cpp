// Looking at the instrument, sending it the image, and starting its PLC: the steps the
// decisions of run_decision.cpp call for between a STOP and the new firmware.
#include "ams/ads_codes.h"
#include "app/update_run_steps.h"
#include "app/wizard_constants.h"
#include "device/plc_memory.h"
#include "transfer/flash_firmware.h"
#include "transfer/plc_control.h"

namespace run {
namespace {

Look::State StateOf(std::optional<int16_t> word) {
    if (!word) {
        return Look::State::kUnknown;
    }
    switch (*word) {
        case 0:
            return Look::State::kNotReady;
        case 1:
            return Look::State::kReady;
        case device::kDeviceStateBusy:
            return Look::State::kBusy;
        default:
            return Look::State::kUnknown;
    }
}

}  // namespace

// The PLC's ADS state first: a stopped PLC answers it though it serves no mailbox, and a
// router that refuses the connection is not there. On a running PLC the mailbox follows, and
// last, with no session open any more, the state word: the read nearest to a STOP.
Look UpdateRun::LookNow() {
    Look look = LookAtPlc(Look{});
    if (look.router != Look::Router::kAnswered || look.plc != Look::Plc::kRun) {
        return look;
    }
    if (facts_.stopSent || facts_.resumed) {
        LookOverMailbox(look);
        if (look.version == Look::Version::kNew && look.values != Look::Values::kUnread) {
            // The new firmware runs: the session stays open for the restore that may follow.
            return look;
        }
        EndSession(phaseEnd_);
    } else {
        // Nothing has touched the instrument since the save read its version, moments ago over
        // the session that has just ended.
        look.mailbox = versionRead_;
        look.version = Look::Version::kOld;
    }
    look.state = StateOf(ReadStateWord(address_[0], address_[1], address_[2], address_[3]));
    return look;
}

// The router's answer to the PLC state request and the PLC's state, over what `look` holds.
Look UpdateRun::LookAtPlc(Look look) {
    int32_t error = ADSERR_NOERR;
    const auto plc = ReadPlcState(address_[0], address_[1], address_[2], address_[3], &error);
    if (!plc) {
        look.router = error == ADSERR_TARGET_MACHINE_NOT_FOUND ? Look::Router::kRefused
                                                               : Look::Router::kSilent;
        look.plc = Look::Plc::kOther;
        return look;
    }
    answered_ = true;
    look.router = Look::Router::kAnswered;
    look.plc = *plc == ADSSTATE_RUN    ? Look::Plc::kRun
               : *plc == ADSSTATE_STOP ? Look::Plc::kStop
                                       : Look::Plc::kOther;
    return look;
}

// A session: the version it tells, the state word, and the values where they are compared
// (on the new firmware running, on the old one after a whole image, and while kept values are
// not yet confirmed).
void UpdateRun::LookOverMailbox(Look& look) {
    Connect();
    float version = 0.0f;
    // A Connect whose host registration went unanswered leaves the session open: it still
    // tells the version.
    if (link_.TryGetParameter(PARAM_FIRMWARE_VERSION, version) != kLinkOk) {
        return;
    }
    look.mailbox = true;
    look.version = version == TARGET_FIRMWARE_VERSION ? Look::Version::kNew : Look::Version::kOld;
    look.state = StateOf(link_.GetState());
    const bool running = look.state == Look::State::kReady || look.state == Look::State::kBusy;
    // On the old firmware after a whole image, too: values found in place there show that
    // the image did not reset them.
    const bool newRunning = look.version == Look::Version::kNew && running;
    const bool oldAfterImage = look.version == Look::Version::kOld && facts_.wholeImageAt;
    if (newRunning || oldAfterImage || !facts_.valuesConfirmed) {
        look.values = CompareValues();
    }
}

void UpdateRun::Transfer() {
    FlashReport report;
    flash_(address_[0], address_[1], address_[2], address_[3], phaseEnd_, report);
    LearnTransfer(facts_, report, Clock::now());
}

void UpdateRun::SendRun() {
    LearnRun(facts_, RequestPlcRun(address_[0], address_[1], address_[2], address_[3]),
             Clock::now());
}

}  // namespace run
