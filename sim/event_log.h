// The simulator's record of what happened: JSON lines in a file for every request and state
// change, and one readable line per event for whoever watches (the corvane-sim program prints
// them).
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>

#include "ams/ams_header.h"

namespace sim {

class EventLog {
public:
    EventLog(const std::string& path, std::function<void(const std::string&)> onEvent);
    bool Good() const { return !wanted_ || file_.good(); }

    // A request as it arrived; `detail` holds extra JSON members ("\"ig\":16416,...") or "".
    void Request(const std::string& peer, const ams::AmsHeader& header, const std::string& detail);
    // A state change: `kind` is a short machine name, `text` the readable line, `detail` extra
    // JSON members or "".
    void Event(const std::string& kind, const std::string& text, const std::string& detail = "");

private:
    void WriteLine(const std::string& json);

    std::mutex mutex_;
    const bool wanted_;
    std::ofstream file_;
    std::function<void(const std::string&)> onEvent_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::string JsonEscape(const std::string& text);

}  // namespace sim
