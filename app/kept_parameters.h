// The parameter values runs saved and could not confirm back on their instrument, kept by the
// wizard for as long as it is open, one set per instrument address: once a run has stopped the
// PLC, the instrument may take the new firmware and reset its parameters, and these values are
// then the only copy.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/run_decision.h"
#include "device/exact_value.h"

struct KeptSet {
    // The instrument they were saved from, and what it showed then.
    std::array<uint8_t, 4> address{};
    std::chrono::system_clock::time_point savedAt{};
    float version = 0.0f;
    // Parameter id and value, in the order they were saved.
    std::vector<std::pair<int16_t, device::ExactValue>> values;
    // What the run that kept them knew of its STOPs, RUNs and images, for a run that resumes.
    run::RunFacts facts;

    // "<address> (saved at HH:MM:SS):", then one "Parameter <id>: <value>" line per value.
    std::string Listing() const;
};

class KeptParameters {
public:
    bool Holds() const { return !sets_.empty(); }
    // The set kept for this instrument, or nullptr.
    const KeptSet* For(const std::array<uint8_t, 4>& address) const;
    KeptSet* For(const std::array<uint8_t, 4>& address);
    // Keeps `set`, in place of any set kept for its address.
    void Keep(KeptSet set);
    void Drop(const std::array<uint8_t, 4>& address);
    const std::vector<KeptSet>& Sets() const { return sets_; }
    // Every set's listing, a blank line between two, for the user to write down.
    std::string Listing() const;

private:
    std::vector<KeptSet> sets_;
};

// a.b.c.d
std::string AddressText(const std::array<uint8_t, 4>& address);

// The question a resumed run asks before it writes kept values that the instrument does not
// show: it names the address and when they were saved, and lists them.
std::string KeptDifferQuestion(const KeptSet& set);
