#include "app/run_decision.h"

#include <array>

#include "app/wizard_texts.h"
#include "transfer/flash_firmware.h"

namespace run {
namespace {

// One decision's inputs.
struct Situation {
    const RunFacts& facts;
    const Look& look;
    Clock::time_point now;
    const RunTiming& timing;
};

using Router = Look::Router;
using Plc = Look::Plc;
using Version = Look::Version;
using State = Look::State;
using Values = Look::Values;

bool PhaseOver(const Situation& s) {
    return s.now >= s.facts.phaseEnd;
}
bool NewFirmwareShown(const Situation& s) {
    return s.facts.phase == RunFacts::Phase::kRestore || s.facts.newEverShown ||
           s.look.version == Version::kNew;
}
bool Answers(const Situation& s) {
    return s.look.router == Router::kAnswered;
}
bool PlcSeenStopped(const Situation& s) {
    return Answers(s) && s.look.plc == Plc::kStop;
}
bool Running(const Situation& s) {
    return s.look.state == State::kReady || s.look.state == State::kBusy;
}
bool NewFirmware(const Situation& s) {
    return s.look.mailbox && s.look.version == Version::kNew;
}

// The conditions, each as one rule below reads it (earlier rules have not matched).
bool OverAfterNewFirmware(const Situation& s) {
    return PhaseOver(s) && NewFirmwareShown(s);
}
bool OverWithPlcStopped(const Situation& s) {
    return PhaseOver(s) && PlcSeenStopped(s);
}
bool OverUntouchedBusy(const Situation& s) {
    return PhaseOver(s) && !s.facts.stopSent && Answers(s) &&
           (s.look.state == State::kBusy || s.look.state == State::kNotReady);
}
bool OverUntouched(const Situation& s) {
    return PhaseOver(s) && !s.facts.stopSent;
}
bool Declined(const Situation& s) {
    return s.facts.declined;
}
bool RouterDoesNotAnswer(const Situation& s) {
    return !Answers(s);
}
bool PlcStoppedByTheRun(const Situation& s) {
    return Answers(s) && s.look.plc == Plc::kStop && s.facts.plcLeftStopped && !s.facts.declined &&
           (!PhaseOver(s) || !s.facts.runPastEnd);
}
bool PlcNotRunning(const Situation& s) {
    return s.look.plc != Plc::kRun;
}
bool MailboxSilent(const Situation& s) {
    return !s.look.mailbox || s.look.version == Version::kUnknown;
}
bool KeptValuesNotShown(const Situation& s) {
    return !s.facts.valuesConfirmed && s.look.values == Values::kDiffer;
}
bool KeptValuesNotSeen(const Situation& s) {
    return !s.facts.valuesConfirmed && s.look.values != Values::kMatch;
}
bool NewFirmwareNotRunning(const Situation& s) {
    return NewFirmware(s) && !Running(s);
}
bool ValuesInPlaceTwice(const Situation& s) {
    return NewFirmware(s) && s.look.values == Values::kMatch && s.facts.valuesInPlace;
}
bool ValuesInPlaceOnce(const Situation& s) {
    return NewFirmware(s) && s.look.values == Values::kMatch;
}
bool ValuesUnread(const Situation& s) {
    return NewFirmware(s) && s.look.values == Values::kUnread;
}
bool RestoreRoundsUsedUp(const Situation& s) {
    return NewFirmware(s) && s.facts.restoreRounds >= MAX_RESTORE_ROUNDS;
}
bool NewFirmwareRunning(const Situation& s) {
    return NewFirmware(s);
}
bool ImageMayBeInstalling(const Situation& s) {
    return MayBeInstalling(s.facts, s.now, s.timing);
}
bool TransfersUsedUp(const Situation& s) {
    return s.facts.transfers >= MAX_FLASH_ATTEMPTS;
}
bool NotReadyForStop(const Situation& s) {
    return s.look.state != State::kReady;
}
bool Otherwise(const Situation&) {
    return true;
}

struct Rule {
    const char* reads;
    bool (*applies)(const Situation&);
    Action action;
    const char* text;  // with kGiveUp
};

// The rules, first match decides. A look never falls amid the run's own download: the
// transfer ends its download connection before its own RUN, and the run looks only between
// transfers, so "RUN at the first look" never meets an image going out.
// clang-format off
constexpr auto kRules = std::to_array<Rule>({
    // A PLC left stopped is started first of all, once more even when time is up; not after the
    // user has said no, when nothing more goes to the instrument.
    {"a PLC that the run stopped is in STOP: RUN at once", PlcStoppedByTheRun, Action::kSendRun,
     nullptr},
    // Time is up: the text says what is true of the instrument now.
    {"the phase is over with the PLC in STOP", OverWithPlcStopped, Action::kGiveUp,
     TEXT_PLC_STOPPED},
    {"the phase is over before any STOP, the instrument busy or not ready", OverUntouchedBusy,
     Action::kGiveUp, TEXT_BUSY},
    {"the phase is over before any STOP", OverUntouched, Action::kGiveUp, TEXT_CONNECT_FAILED},
    {"the phase is over after the new firmware showed: its parameters may be at factory values",
     OverAfterNewFirmware, Action::kGiveUp, TEXT_RESTORE_FAILED},
    {"the phase is over", PhaseOver, Action::kGiveUp, TEXT_UNKNOWN_ERROR},
    {"the user chose not to write the kept values", Declined, Action::kGiveUp,
     TEXT_KEPT_DECLINED},
    // Whether and how it answers.
    {"the router does not answer: restarting, gone, or the network", RouterDoesNotAnswer,
     Action::kLookAgain, nullptr},
    {"a PLC that the run did not stop is not running: not touched", PlcNotRunning,
     Action::kLookAgain, nullptr},
    {"the mailbox does not answer yet", MailboxSilent, Action::kLookAgain, nullptr},
    // Values kept by an earlier run are written only once the instrument shows them or the
    // user agrees; until then nothing is stopped or sent either.
    {"the instrument does not show the kept values: the user decides", KeptValuesNotShown,
     Action::kAsk, nullptr},
    {"the kept values could not be read yet", KeptValuesNotSeen, Action::kLookAgain, nullptr},
    // The new firmware.
    {"the new firmware, not running yet: it took the image", NewFirmwareNotRunning,
     Action::kLookAgain, nullptr},
    {"the new firmware with every value in place, seen in two sessions", ValuesInPlaceTwice,
     Action::kDone, nullptr},
    {"the new firmware with every value in place: confirmed over a new session after a settle",
     ValuesInPlaceOnce, Action::kConfirmLater, nullptr},
    {"the new firmware, its values could not be read", ValuesUnread, Action::kLookAgain, nullptr},
    {"the new firmware, the restore rounds used up", RestoreRoundsUsedUp, Action::kGiveUp,
     TEXT_RESTORE_FAILED},
    {"the new firmware running: the values are written back", NewFirmwareRunning,
     Action::kRestore, nullptr},
    // The old firmware.
    {"the old firmware while the last whole image may still be installing: no STOP",
     ImageMayBeInstalling, Action::kLookAgain, nullptr},
    {"the old firmware, the transfers used up", TransfersUsedUp, Action::kGiveUp,
     TEXT_UNKNOWN_ERROR},
    {"the old firmware, the state word just read not ready: no STOP", NotReadyForStop,
     Action::kLookAgain, nullptr},
    {"the old firmware, ready: the image goes out", Otherwise, Action::kTransfer, nullptr},
});
// clang-format on

Clock::time_point PhaseEnd(RunFacts::Phase phase, Clock::time_point now, const RunTiming& timing) {
    return now + (phase == RunFacts::Phase::kRestore ? timing.restore : timing.transfer);
}

}  // namespace

RunFacts FreshFacts(Clock::time_point now, const RunTiming& timing) {
    RunFacts facts;
    facts.phaseEnd = PhaseEnd(facts.phase, now, timing);
    return facts;
}

RunFacts ResumedFacts(const RunFacts& earlier, Clock::time_point now, const RunTiming& timing) {
    RunFacts facts = FreshFacts(now, timing);
    facts.stopSent = earlier.stopSent;
    facts.plcLeftStopped = earlier.plcLeftStopped;
    facts.wholeImageAt = earlier.wholeImageAt;
    facts.installFrom = earlier.installFrom;
    facts.newShownSinceImage = earlier.newShownSinceImage;
    facts.awaySinceImage = earlier.awaySinceImage;
    facts.oldIntactSinceImage = earlier.oldIntactSinceImage;
    facts.newEverShown = earlier.newEverShown;
    facts.resumed = true;
    facts.valuesConfirmed = false;
    return facts;
}

Decision Decide(const RunFacts& facts, const Look& look, Clock::time_point now,
                const RunTiming& timing) {
    const Situation situation{facts, look, now, timing};
    for (const Rule& rule : kRules) {
        if (rule.applies(situation)) {
            return {rule.action, rule.text, rule.reads};
        }
    }
    return {};  // unreachable: the last rule always applies
}

size_t DecisionRuleCount() {
    return kRules.size();
}

void LearnFromLook(RunFacts& facts, const Look& look, Clock::time_point now,
                   const RunTiming& timing) {
    const bool answered = look.router == Router::kAnswered;
    if (look.router == Router::kRefused && facts.wholeImageAt) {
        facts.awaySinceImage = true;
    }
    if (answered && look.plc == Plc::kRun && facts.wholeImageAt && !facts.installFrom) {
        facts.installFrom = now;
    }
    if (look.mailbox && look.version == Version::kNew) {
        facts.newEverShown = true;
        facts.newShownSinceImage = facts.newShownSinceImage || facts.wholeImageAt.has_value();
        if (facts.phase == RunFacts::Phase::kTransfer &&
            (look.state == State::kReady || look.state == State::kBusy)) {
            facts.phase = RunFacts::Phase::kRestore;
            facts.phaseEnd = PhaseEnd(facts.phase, now, timing);
        }
    }
    if (look.mailbox && look.version == Version::kOld && look.values == Values::kMatch &&
        facts.wholeImageAt) {
        facts.oldIntactSinceImage = true;
    }
    // Two sessions in a row must find the values in place; any look between that does not
    // read them breaks the row.
    facts.valuesInPlace = look.values == Values::kMatch;
    if (look.values == Values::kMatch) {
        facts.valuesConfirmed = true;
    }
}

void LearnTransfer(RunFacts& facts, const FlashReport& report, Clock::time_point now) {
    ++facts.transfers;
    if (report.stopSent) {
        facts.stopSent = true;
        facts.plcLeftStopped = true;
    }
    if (report.runAcknowledged) {
        facts.plcLeftStopped = false;
    }
    if (report.imageWhole) {
        facts.wholeImageAt = now;
        facts.installFrom = report.runAcknowledged ? std::optional(now) : std::nullopt;
        facts.newShownSinceImage = false;
        facts.awaySinceImage = false;
        facts.oldIntactSinceImage = false;
    }
}

void LearnRun(RunFacts& facts, bool acknowledged, Clock::time_point now) {
    facts.runPastEnd = facts.runPastEnd || now >= facts.phaseEnd;
    if (!acknowledged) {
        return;
    }
    facts.plcLeftStopped = false;
    if (facts.wholeImageAt && !facts.installFrom) {
        facts.installFrom = now;
    }
}

void LearnRestore(RunFacts& facts, bool readBackInPlace) {
    ++facts.restoreRounds;
    facts.valuesInPlace = readBackInPlace;
}

void LearnAnswer(RunFacts& facts, bool writeKept, Clock::time_point now, const RunTiming& timing) {
    if (!writeKept) {
        facts.declined = true;
        return;
    }
    facts.valuesConfirmed = true;
    // The time the user took to answer is not the instrument's: the phase starts again.
    facts.phaseEnd = PhaseEnd(facts.phase, now, timing);
}

bool MayHaveReset(const RunFacts& facts) {
    return facts.wholeImageAt.has_value() || facts.newEverShown;
}

bool NothingLost(const RunFacts& facts, Clock::time_point now, const RunTiming& timing) {
    return !MayHaveReset(facts) || (!facts.newEverShown && facts.oldIntactSinceImage &&
                                    !MayBeInstalling(facts, now, timing));
}

bool MayBeInstalling(const RunFacts& facts, Clock::time_point now, const RunTiming& timing) {
    if (!facts.wholeImageAt || facts.newShownSinceImage || facts.awaySinceImage) {
        return false;
    }
    // The install begins with the RUN after the image; until a RUN took, or the PLC was seen
    // running, the wait has not begun.
    return !facts.installFrom || now < *facts.installFrom + timing.restartWait;
}

}  // namespace run
