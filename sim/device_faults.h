// The faults that are states and timers of the controller itself: what the status block reads,
// which mailbox commands stay unanswered, whether and when an image installs, the RUNs that are
// lost, and the restarts that follow an install. Not thread-safe: the model calls it under the
// controller's lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/controller.h"

namespace sim {

class DeviceFaults {
public:
    using Clock = std::chrono::steady_clock;
    // A line a hook gives the instrument's log: the kind, and the readable text.
    using Note = std::pair<std::string, std::string>;

    explicit DeviceFaults(const Faults& faults) : faults_(faults) {}

    const Faults& Settings() const { return faults_; }
    // Counters of the one-shot faults start over for a fault whose value changes.
    void Set(const Faults& faults);

    // The status block: the state word the faults impose, if any, and the error flag.
    std::optional<int16_t> StateWord(Clock::time_point now) const;
    bool StatusError() const { return faults_.statusError; }
    // The host read the status block: a state word that turned before now has been seen.
    void StatusRead(Clock::time_point now) { statusReadAt_ = now; }
    // The state word turned so short a time ago, and unread since, that no host could have
    // seen it yet: a request arriving now was sent on the word before, and is not counted
    // against the host. Only the flap turns at times of its own; every other state begins
    // with an event the host meets first (a reboot, a cut, a fault set).
    bool TurnedUnseen(Clock::time_point now) const;
    // The one question the PLC program asks of every mailbox command: once as it arrives
    // (counted by code since the faults last changed), then at each scan until it is answered.
    // A fault of the mailbox is one branch in `Answer`.
    void Arrived(uint16_t code) { ++received_[code]; }
    enum class Reply {
        kAnswer,           // carried out and answered
        kHold,             // not answered at this scan (silent, or answered late)
        kAcknowledgeOnly,  // answered as done, not carried out (nothing stored, nothing read)
    };
    Reply Answer(uint16_t code, int id, Clock::duration waited);

    // A RUN after a complete download that is lost: not served, its connection closed.
    bool LoseRun();
    bool RejectsImage() const { return faults_.rejectImage; }
    // RUN came for a complete image: true when install-ms holds the install back.
    bool HoldInstall(Clock::time_point now);
    bool InstallDue(Clock::time_point now) const;
    bool InstallUnderWay() const { return installRun_.has_value(); }
    void Installed();  // the image went in; the reboot follows

    // Answered mailbox commands after an install. A write: true when reboot-after-writes
    // restarts the controller now. A release after writes: starts the read-back restart's
    // timer, so the restart comes once the host has read back what it wrote and let go; true
    // when refuse-after-restore closes the router's port now.
    bool WriteAnswered();
    bool ReleaseAnswered(Clock::time_point now);
    // refuse-after-restore has closed the port; any change of the faults opens it again.
    bool PortClosed() const { return portClosed_; }
    bool ReadbackRestartDue(Clock::time_point now) const;

    // A download connection ended before the download's closing frames.
    void DownloadCut(Clock::time_point now);
    // Going down forgets the timers; coming back starts the after-reboot ones.
    void Reboot();
    void Return(Clock::time_point now);

    // What the hooks noted since the last call (a state they began, a timer they started):
    // the model logs it after each frame, each due reboot and each return from a reboot.
    std::vector<Note> TakeNotes() { return std::exchange(notes_, {}); }

private:
    void Noted(std::string kind, std::string text) {
        notes_.emplace_back(std::move(kind), std::move(text));
    }

    std::vector<Note> notes_;
    Faults faults_;
    std::map<uint16_t, int> received_;  // mailbox commands by code since the faults changed
    Clock::time_point busyUntil_{};
    Clock::time_point statusReadAt_{};
    Clock::time_point notReadyUntil_{};
    bool installedBeforeReboot_ = false;
    int runsLost_ = 0;
    std::optional<Clock::time_point> installRun_;  // the RUN of an install held by install-ms
    // reboot-after-writes: armed by an install, counting the writes answered since.
    bool writesArmed_ = false;
    int writesSinceInstall_ = 0;
    // restart-after-readback-ms: armed by an install, then writes, then the first read.
    enum class Readback { kOff, kArmed, kWritten, kTimed };
    Readback readback_ = Readback::kOff;
    Clock::time_point readbackRestart_{};
    bool portClosed_ = false;
};

}  // namespace sim
