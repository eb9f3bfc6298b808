#include "sim/event_log.h"

#include <cstdio>

namespace sim {

std::string JsonEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
                    out += buffer;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

EventLog::EventLog(const std::string& path, std::function<void(const std::string&)> onEvent)
    : wanted_(!path.empty()), onEvent_(std::move(onEvent)) {
    if (wanted_) {
        file_.open(path, std::ios::out | std::ios::app);
    }
}

void EventLog::WriteLine(const std::string& json) {
    if (!file_.is_open()) {
        return;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start_)
                        .count();
    file_ << "{\"t_ms\":" << ms << "," << json << "}\n";
    file_.flush();
}

void EventLog::Request(const std::string& peer, const ams::AmsHeader& header,
                       const std::string& detail) {
    std::lock_guard lock(mutex_);
    std::string json = "\"type\":\"request\",\"peer\":\"" + JsonEscape(peer) +
                       "\",\"cmd\":" + std::to_string(header.commandId) +
                       ",\"flags\":" + std::to_string(header.stateFlags) +
                       ",\"invoke\":" + std::to_string(header.invokeId) +
                       ",\"port\":" + std::to_string(header.target.port);
    if (!detail.empty()) {
        json += "," + detail;
    }
    WriteLine(json);
}

void EventLog::Event(const std::string& kind, const std::string& text, const std::string& detail) {
    std::lock_guard lock(mutex_);
    WriteLine("\"type\":\"event\",\"event\":\"" + JsonEscape(kind) + "\",\"text\":\"" +
              JsonEscape(text) + "\"" + (detail.empty() ? "" : "," + detail));
    if (onEvent_) {
        onEvent_(text);
    }
}

}  // namespace sim
