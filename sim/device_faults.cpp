#include "sim/device_faults.h"

#include <algorithm>

#include "sim/plc_program.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

}  // namespace

void DeviceFaults::Set(const Faults& faults) {
    if (faults.loseRun != faults_.loseRun) {
        runsLost_ = 0;
    }
    // Lifting a timed state ends the one under way, as a test that clears it expects.
    if (faults.busyAfterRebootMs == 0 && faults.busyAfterCutMs == 0) {
        busyUntil_ = {};
    }
    if (faults.notReadyAfterRebootMs == 0) {
        notReadyUntil_ = {};
    }
    if (faults != faults_) {
        portClosed_ = false;
        received_.clear();
    }
    faults_ = faults;
}

std::optional<int16_t> DeviceFaults::StateWord(Clock::time_point now) const {
    if (faults_.busy || now < busyUntil_) {
        return int16_t{2};
    }
    if (now < notReadyUntil_) {
        return int16_t{0};
    }
    if (faults_.stateFlapMs > 0) {
        // An instrument that keeps taking up short tasks of its own: ready in the even periods
        // of the steady clock, busy in the odd ones.
        const auto period = now.time_since_epoch() / milliseconds(faults_.stateFlapMs);
        return int16_t(period % 2 == 0 ? 1 : 2);
    }
    return std::nullopt;
}

bool DeviceFaults::TurnedUnseen(Clock::time_point now) const {
    if (faults_.stateFlapMs <= 0) {
        return false;
    }
    // About one poll cycle of a host on a busy network: the time between a status read and
    // the request it decided.
    constexpr milliseconds kUnseenTurn{25};
    const auto turned = now - now.time_since_epoch() % milliseconds(faults_.stateFlapMs);
    return now - turned < kUnseenTurn && statusReadAt_ < turned;
}

DeviceFaults::Reply DeviceFaults::Answer(uint16_t code, int /*id*/, Clock::duration waited) {
    if (faults_.mailboxSilent || (code == kCmdRelease && faults_.releaseSilent) ||
        (code == kCmdRegisterHost && faults_.registerSilent)) {
        return Reply::kHold;
    }
    // Measured against the fault as it stands, so lifting it answers a held write at once.
    if (code == kCmdSetParameter && waited < milliseconds(faults_.writeDelayMs)) {
        return Reply::kHold;
    }
    return Reply::kAnswer;
}

bool DeviceFaults::LoseRun() {
    if (runsLost_ >= faults_.loseRun) {
        return false;
    }
    ++runsLost_;
    return true;
}

bool DeviceFaults::HoldInstall(Clock::time_point now) {
    if (faults_.installMs <= 0) {
        return false;
    }
    installRun_ = now;
    return true;
}

bool DeviceFaults::InstallDue(Clock::time_point now) const {
    // Measured against the fault as it stands, so a test can shorten the wait at run time.
    return installRun_ && now - *installRun_ >= milliseconds(faults_.installMs);
}

void DeviceFaults::Installed() {
    installRun_.reset();
    installedBeforeReboot_ = true;
    writesArmed_ = true;
    writesSinceInstall_ = 0;
    readback_ = Readback::kArmed;
}

bool DeviceFaults::WriteAnswered() {
    if (readback_ == Readback::kArmed) {
        readback_ = Readback::kWritten;
    }
    if (!writesArmed_ || faults_.rebootAfterWrites <= 0) {
        return false;
    }
    if (++writesSinceInstall_ < faults_.rebootAfterWrites) {
        return false;
    }
    writesArmed_ = false;
    return true;
}

bool DeviceFaults::ReleaseAnswered(Clock::time_point now) {
    if (readback_ != Readback::kWritten) {
        return false;
    }
    if (faults_.restartAfterReadbackMs > 0) {
        readback_ = Readback::kTimed;
        readbackRestart_ = now + milliseconds(faults_.restartAfterReadbackMs);
    }
    portClosed_ = faults_.refuseAfterRestore;
    return portClosed_;
}

bool DeviceFaults::ReadbackRestartDue(Clock::time_point now) const {
    return readback_ == Readback::kTimed && now >= readbackRestart_;
}

void DeviceFaults::DownloadCut(Clock::time_point now) {
    if (faults_.busyAfterCutMs > 0) {
        busyUntil_ = std::max(busyUntil_, now + milliseconds(faults_.busyAfterCutMs));
        Noted("busy_after_cut",
              "download cut short: busy for " + std::to_string(faults_.busyAfterCutMs) + " ms");
    }
}

void DeviceFaults::Reboot() {
    installRun_.reset();
    // The read-back restart is one-shot per install: once it has come, or once any other
    // restart came first, it waits for the next install.
    if (readback_ == Readback::kTimed || !installedBeforeReboot_) {
        readback_ = Readback::kOff;
    }
}

void DeviceFaults::Return(Clock::time_point now) {
    // A download cut short just before the reboot may keep it busy longer.
    busyUntil_ = std::max(busyUntil_, now + milliseconds(faults_.busyAfterRebootMs));
    notReadyUntil_ = installedBeforeReboot_ ? now + milliseconds(faults_.notReadyAfterRebootMs)
                                            : Clock::time_point{};
    installedBeforeReboot_ = false;
}

}  // namespace sim
