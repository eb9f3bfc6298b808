// The parameter values a run saved, kept by the wizard for as long as it is open when a run
// ended after a complete transfer without a confirmed restore: the instrument may have taken
// the new firmware and reset its parameters, and these values are then the only copy.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "device/exact_value.h"

struct KeptParameters {
    // The instrument they were saved from.
    std::array<uint8_t, 4> address{};
    // Parameter id and value, in the order they were saved.
    std::vector<std::pair<int16_t, device::ExactValue>> values;

    bool Holds() const { return !values.empty(); }
    bool IsFor(const std::array<uint8_t, 4>& instrument) const {
        return Holds() && address == instrument;
    }
    // One "Parameter <id>: <value>" line per value, for the user to write down.
    std::string Listing() const;
    void Clear() { values.clear(); }
};
