// The run's decisions over every combination of what it knows and what a look can find, held
// to the promises they exist for: no STOP unless the state word just read is ready, none while
// an image may be installing, RUN for a PLC the run stopped, no value written that the user or
// the instrument has not confirmed, nothing begun after the deadline, and a text for every end
// that says what is true of the instrument.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "app/run_decision.h"
#include "device/device_timing.h"
#include "app/wizard_texts.h"

namespace corvane::test {
namespace {

using run::Action;
using run::Look;
using run::RunFacts;
using std::chrono::seconds;

const RunTiming kTiming{};
const run::Clock::time_point kNow = run::Clock::time_point{} + std::chrono::hours(1);

// Where the last whole image stands against the restart wait.
enum class Image { kNone, kRunNotYetTaken, kWithinRestartWait, kPastRestartWait };

struct Combination {
    RunFacts facts;
    Look look;
    int factBits = 0;  // as ForEveryCombination sets them, bit 0 first
    Image image = Image::kNone;
    std::string Describe() const {
        const int lookDigits[] = {static_cast<int>(look.router), static_cast<int>(look.plc),
                                  look.mailbox ? 1 : 0,          static_cast<int>(look.version),
                                  static_cast<int>(look.state),  static_cast<int>(look.values)};
        std::string text = "fact bits " + std::to_string(factBits) + ", image " +
                           std::to_string(static_cast<int>(image)) + ", transfers " +
                           std::to_string(facts.transfers) + "; look ";
        for (const int digit : lookDigits) {
            text += std::to_string(digit);
        }
        return text;
    }
};

// Calls `visit` with every combination of facts a run can hold (a STOP before any image or
// stopped PLC, an image before anything seen since it, a user's answer only on a resumed run)
// and every look, in all ways.
void ForEveryCombination(const std::function<void(const Combination&)>& visit) {
    std::vector<Combination> facts;
    for (int bits = 0; bits < (1 << 13); ++bits) {
        const auto bit = [bits](int n) { return (bits >> n & 1) != 0; };
        for (const Image image : {Image::kNone, Image::kRunNotYetTaken, Image::kWithinRestartWait,
                                  Image::kPastRestartWait}) {
            for (const int transfers : {0, 1, MAX_FLASH_ATTEMPTS}) {
                RunFacts f;
                f.phase = bit(0) ? RunFacts::Phase::kRestore : RunFacts::Phase::kTransfer;
                f.phaseEnd = kNow + (bit(1) ? seconds(-1) : seconds(10));
                f.stopSent = bit(2);
                f.plcLeftStopped = bit(3);
                f.newShownSinceImage = bit(4);
                f.awaySinceImage = bit(5);
                f.newEverShown = bit(6) || f.newShownSinceImage;
                f.resumed = bit(7);
                f.valuesConfirmed = !f.resumed || bit(8);
                f.declined = f.resumed && !f.valuesConfirmed && bit(9);
                f.restoreRounds = bit(10) ? MAX_RESTORE_ROUNDS : 0;
                f.valuesInPlace = bit(11);
                f.runPastEnd = bit(12);
                f.transfers = transfers;
                if (image != Image::kNone) {
                    f.wholeImageAt = kNow - seconds(1);
                    if (image == Image::kWithinRestartWait) {
                        f.installFrom = kNow - seconds(1);
                    } else if (image == Image::kPastRestartWait) {
                        f.installFrom = kNow - kTiming.restartWait - seconds(1);
                    }
                }
                const bool consistent =
                    (f.stopSent ||
                     (!f.plcLeftStopped && image == Image::kNone && transfers == 0 && !f.resumed &&
                      !f.newEverShown && f.phase == RunFacts::Phase::kTransfer)) &&
                    (image != Image::kNone || (!f.newShownSinceImage && !f.awaySinceImage)) &&
                    (f.phase == RunFacts::Phase::kRestore || f.restoreRounds == 0) &&
                    (!f.resumed || transfers == 0 || f.valuesConfirmed) &&
                    (!f.runPastEnd || (f.stopSent && kNow >= f.phaseEnd));
                if (consistent) {
                    facts.push_back({f, {}, bits, image});
                }
            }
        }
    }
    for (Combination c : facts) {
        for (const auto router :
             {Look::Router::kAnswered, Look::Router::kRefused, Look::Router::kSilent}) {
            for (const auto plc : {Look::Plc::kRun, Look::Plc::kStop, Look::Plc::kOther}) {
                for (const bool mailbox : {false, true}) {
                    for (const auto version :
                         {Look::Version::kUnknown, Look::Version::kOld, Look::Version::kNew}) {
                        for (const auto state : {Look::State::kUnknown, Look::State::kNotReady,
                                                 Look::State::kReady, Look::State::kBusy}) {
                            for (const auto values : {Look::Values::kUnread, Look::Values::kMatch,
                                                      Look::Values::kDiffer}) {
                                c.look = {router, plc, mailbox, version, state, values};
                                visit(c);
                            }
                        }
                    }
                }
            }
        }
    }
}

bool Answers(const Look& look) {
    return look.router == Look::Router::kAnswered;
}
bool Running(const Look& look) {
    return look.state == Look::State::kReady || look.state == Look::State::kBusy;
}

// One promise: what must hold for a combination and the decision made from it; empty when it
// holds, else what was broken.
struct Promise {
    const char* name;
    std::function<bool(const Combination&, const run::Decision&)> holds;
};

const std::vector<Promise>& Promises() {
    static const std::vector<Promise> promises{
        {"no STOP unless the state word just read is ready on the old firmware",
         [](const Combination& c, const run::Decision& d) {
             return d.action != Action::kTransfer ||
                    (Answers(c.look) && c.look.plc == Look::Plc::kRun && c.look.mailbox &&
                     c.look.version == Look::Version::kOld && c.look.state == Look::State::kReady);
         }},
        {"no STOP while an image may be installing",
         [](const Combination& c, const run::Decision& d) {
             return d.action != Action::kTransfer || !run::MayBeInstalling(c.facts, kNow, kTiming);
         }},
        {"RUN at the first look that finds a PLC the run stopped in STOP, once more past the end",
         [](const Combination& c, const run::Decision& d) {
             const bool due = Answers(c.look) && c.look.plc == Look::Plc::kStop &&
                              c.facts.plcLeftStopped && !c.facts.declined &&
                              (kNow < c.facts.phaseEnd || !c.facts.runPastEnd);
             return due == (d.action == Action::kSendRun);
         }},
        {"no value written, no STOP, no image before the kept values are confirmed",
         [](const Combination& c, const run::Decision& d) {
             const bool touches = d.action == Action::kRestore || d.action == Action::kTransfer;
             return !touches || c.facts.valuesConfirmed || c.look.values == Look::Values::kMatch;
         }},
        {"values written only to the new firmware, running, over a session that answers",
         [](const Combination& c, const run::Decision& d) {
             return d.action != Action::kRestore ||
                    (Answers(c.look) && c.look.mailbox && c.look.version == Look::Version::kNew &&
                     Running(c.look) && c.look.values != Look::Values::kUnread);
         }},
        {"success only with every value in place in two sessions on the new firmware",
         [](const Combination& c, const run::Decision& d) {
             return d.action != Action::kDone ||
                    (c.look.version == Look::Version::kNew && Running(c.look) &&
                     c.look.values == Look::Values::kMatch && c.facts.valuesInPlace);
         }},
        {"nothing begun once the phase is over but one last RUN",
         [](const Combination& c, const run::Decision& d) {
             return kNow < c.facts.phaseEnd || d.action == Action::kGiveUp ||
                    (d.action == Action::kSendRun && !c.facts.runPastEnd);
         }},
        {"every end has a text, and a PLC seen stopped is named",
         [](const Combination& c, const run::Decision& d) {
             if (d.action != Action::kGiveUp) {
                 return d.text == nullptr;
             }
             const bool plcStopped =
                 Answers(c.look) && c.look.plc == Look::Plc::kStop && kNow >= c.facts.phaseEnd;
             return d.text != nullptr && (!plcStopped || d.text == std::string(TEXT_PLC_STOPPED));
         }},
        {"an end on the new firmware says the values are not restored",
         [](const Combination& c, const run::Decision& d) {
             const bool shown = c.facts.stopSent && c.look.version == Look::Version::kNew;
             return d.action != Action::kGiveUp || !shown || c.facts.declined ||
                    d.text == std::string(TEXT_RESTORE_FAILED) ||
                    d.text == std::string(TEXT_PLC_STOPPED);
         }},
        {"an end before any STOP says the firmware was not changed",
         [](const Combination& c, const run::Decision& d) {
             return d.action != Action::kGiveUp || c.facts.stopSent ||
                    d.text == std::string(TEXT_BUSY) ||
                    d.text == std::string(TEXT_CONNECT_FAILED) ||
                    d.text == std::string(TEXT_PLC_STOPPED);
         }},
        {"before the deadline the run ends only when the user declined or the tries are used up",
         [](const Combination& c, const run::Decision& d) {
             return d.action != Action::kGiveUp || kNow >= c.facts.phaseEnd || c.facts.declined ||
                    c.facts.transfers >= MAX_FLASH_ATTEMPTS ||
                    c.facts.restoreRounds >= MAX_RESTORE_ROUNDS;
         }},
        {"the user is asked only about kept values the instrument does not show",
         [](const Combination& c, const run::Decision& d) {
             return d.action != Action::kAsk || (c.facts.resumed && !c.facts.valuesConfirmed &&
                                                 c.look.values == Look::Values::kDiffer);
         }},
    };
    return promises;
}

TEST(RunDecision, EveryCombinationKeepsEveryPromise) {
    std::vector<long> broken(Promises().size(), 0);
    std::vector<std::string> firstBreak(Promises().size());
    std::set<std::string> rulesUsed;
    long combinations = 0;
    ForEveryCombination([&](const Combination& c) {
        ++combinations;
        const run::Decision decision = run::Decide(c.facts, c.look, kNow, kTiming);
        rulesUsed.insert(decision.rule);
        for (size_t p = 0; p < Promises().size(); ++p) {
            if (!Promises()[p].holds(c, decision)) {
                if (broken[p]++ == 0) {
                    firstBreak[p] = c.Describe() + " -> " + decision.rule;
                }
            }
        }
    });
    for (size_t p = 0; p < Promises().size(); ++p) {
        EXPECT_EQ(broken[p], 0) << Promises()[p].name << "\n  first: " << firstBreak[p];
    }
    // Every rule decides somewhere: none is dead.
    EXPECT_EQ(rulesUsed.size(), run::DecisionRuleCount());
    std::cout << combinations << " combinations, " << rulesUsed.size() << " rules\n";
}

// The worst case as update_run.h adds it up: 596.2 s at the device's own limits, and each limit
// counted as often as a run can be waiting on it when a deadline passes.
TEST(RunWorstCase, AddsUpEveryWaitAsDocumented) {
    using std::chrono::milliseconds;
    EXPECT_EQ(RunWorstCase(RunTiming{}), milliseconds(596200));
    struct Term {
        const char* name;
        int count;
        std::function<void(RunTiming&, device::DeviceTiming&)> lengthen;
    };
    const Term terms[] = {
        {"save phase", 1, [](RunTiming& r, device::DeviceTiming&) { r.save += milliseconds(1); }},
        {"transfer phase", 1,
         [](RunTiming& r, device::DeviceTiming&) { r.transfer += milliseconds(1); }},
        {"restore phase", 1,
         [](RunTiming& r, device::DeviceTiming&) { r.restore += milliseconds(1); }},
        {"pause", 5, [](RunTiming& r, device::DeviceTiming&) { r.pause += milliseconds(1); }},
        {"settle", 2, [](RunTiming& r, device::DeviceTiming&) { r.settle += milliseconds(1); }},
        // Seven sessions of twelve lock waits each; a status read in the save, a transfer's
        // five calls, a look's four and three past the end in each of the two phases after the
        // save.
        {"ADS call", 7 * 12 + 1 + 5 + 2 * (4 + 3),
         [](RunTiming&, device::DeviceTiming& d) { d.adsCallTimeout += milliseconds(1); }},
        {"mailbox exchange", 7,
         [](RunTiming&, device::DeviceTiming& d) { d.exchangeTimeLimit += milliseconds(1); }},
        {"worker wait", 7,
         [](RunTiming&, device::DeviceTiming& d) { d.workerEndWait += milliseconds(1); }},
    };
    for (const Term& term : terms) {
        RunTiming run{};
        device::DeviceTiming device{};
        term.lengthen(run, device);
        const device::ScopedDeviceTimingForTesting lengthened(device);
        EXPECT_EQ(RunWorstCase(run) - milliseconds(596200), milliseconds(term.count)) << term.name;
    }
}

}  // namespace
}  // namespace corvane::test
