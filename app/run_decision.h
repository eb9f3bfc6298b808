// What the update run does next once it may stop the PLC, decided in one place: a pure function
// of what the run knows for certain and of a look at the instrument made just before. The rules
// are one table (run_decision.cpp); the run's phase files carry out what it says and record
// what came of it here.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

#include "app/update_run.h"

struct FlashReport;

namespace run {

using Clock = std::chrono::steady_clock;

// What a look found, read in this order: the PLC's ADS state (which a stopped PLC answers,
// though it serves no mailbox); then, on a running PLC, a session over the mailbox: the
// firmware version, the state word, and the parameter values where they are to be compared;
// then, once that session has ended, the state word once more, the read nearest to a STOP.
struct Look {
    // The router's answer to the PLC state request. Refused: nothing listens on its port (it is
    // restarting, or gone). Silent: no answer in time, which may be the network; not the same.
    enum class Router { kAnswered, kRefused, kSilent };
    enum class Plc { kRun, kStop, kOther };
    enum class Version { kUnknown, kOld, kNew };
    // The state word: 0 not ready, 1 ready, 2 busy with a task of its own.
    enum class State { kUnknown, kNotReady, kReady, kBusy };
    // The instrument's values against the ones the run carries.
    enum class Values { kUnread, kMatch, kDiffer };

    Router router = Router::kSilent;
    Plc plc = Plc::kOther;
    bool mailbox = false;  // a session opened and told the firmware version
    Version version = Version::kUnknown;
    State state = State::kUnknown;
    Values values = Values::kUnread;
};

// What the run knows for certain: what it sent and what was acknowledged, and what the
// instrument has shown since. Changed only by the Learn functions below.
struct RunFacts {
    // The transfer phase lasts until the new firmware first runs, then the restore phase.
    enum class Phase { kTransfer, kRestore };
    Phase phase = Phase::kTransfer;
    Clock::time_point phaseEnd = Clock::time_point::max();

    bool stopSent = false;  // a STOP went out, acknowledged or not
    // A STOP went out and no RUN has been acknowledged since: the PLC may be stopped by us.
    bool plcLeftStopped = false;
    // A RUN went out after the phase's end: the last one the run sends.
    bool runPastEnd = false;
    int transfers = 0;
    // The last whole image: when it went out, and from when its install can have run (the RUN
    // acknowledged after it, or the first look that found the PLC running).
    std::optional<Clock::time_point> wholeImageAt;
    std::optional<Clock::time_point> installFrom;
    // Since the last whole image: the instrument showed the new firmware, in any state; its
    // router refused the connection (it restarted, or was gone).
    bool newShownSinceImage = false;
    bool awaySinceImage = false;
    // Since the last whole image the old firmware answered with every value in place.
    bool oldIntactSinceImage = false;
    // The new firmware showed at any time: the parameters may have gone to factory values.
    bool newEverShown = false;

    // The values an earlier run kept: until the instrument shows them, or the user agrees, they
    // are not written, and nothing is stopped or sent.
    bool resumed = false;
    bool valuesConfirmed = true;
    bool declined = false;
    // Restore rounds made, and whether a session before this look found every value in place.
    int restoreRounds = 0;
    bool valuesInPlace = false;
};

// The facts a new run starts from. A resumed run takes over what the earlier run knew of its
// STOPs, RUNs and images; the phase, the counts and the confirmation start afresh.
RunFacts FreshFacts(Clock::time_point now, const RunTiming& timing);
RunFacts ResumedFacts(const RunFacts& earlier, Clock::time_point now, const RunTiming& timing);

enum class Action {
    kLookAgain,     // pause, then look again
    kConfirmLater,  // end the session, settle, and look again over a new one
    kSendRun,       // ask the PLC to run
    kTransfer,      // send the image: STOP, the download, RUN
    kAsk,           // ask the user whether to write the kept values
    kRestore,       // write the values back over the open session and read them again
    kDone,          // updated, every value in place: success
    kGiveUp,        // end the run with `text`
};

struct Decision {
    Action action = Action::kLookAgain;
    const char* text = nullptr;  // the failure text, with kGiveUp
    const char* rule = "";       // the rule that decided, as the table reads
};

// The one decision: from the facts as they stood before `look`, and `look` itself.
Decision Decide(const RunFacts& facts, const Look& look, Clock::time_point now,
                const RunTiming& timing);

// How many rules the table holds, for a test that every one of them decides somewhere.
size_t DecisionRuleCount();

// What the run learns for certain, applied after each decision.
void LearnFromLook(RunFacts& facts, const Look& look, Clock::time_point now,
                   const RunTiming& timing);
void LearnTransfer(RunFacts& facts, const FlashReport& report, Clock::time_point now);
void LearnRun(RunFacts& facts, bool acknowledged, Clock::time_point now);
void LearnRestore(RunFacts& facts, bool readBackInPlace);
void LearnAnswer(RunFacts& facts, bool writeKept, Clock::time_point now, const RunTiming& timing);

// Whether the instrument's parameters may have gone to factory values: a whole image went
// out, or the new firmware showed. Until then a failed run has lost nothing.
bool MayHaveReset(const RunFacts& facts);

// Whether a run that ends now has lost nothing: the parameters cannot have been reset, or the
// old firmware answered with every value in place since the last whole image, which can no
// longer be installing.
bool NothingLost(const RunFacts& facts, Clock::time_point now, const RunTiming& timing);

// Whether a STOP could now break off an install: a whole image went out, the instrument has
// neither shown the new firmware nor been away since (a look that finds it answering again
// with its old firmware then knows it restarted without the image), and the restart wait since
// its install could begin has not passed.
bool MayBeInstalling(const RunFacts& facts, Clock::time_point now, const RunTiming& timing);

}  // namespace run
