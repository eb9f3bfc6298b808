#include "sim/fault_names.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <variant>

namespace sim {
namespace {

// A fault's field in Faults: an on/off flag, a count (NAME=N) or an AMS NetId (NAME=A.B.C.D.E.F).
using FaultField = std::variant<bool Faults::*, int Faults::*, std::optional<AmsNetId> Faults::*>;

struct FaultName {
    const char* name;
    FaultField field;  // off by default: false, 0 or none
    const char* help;
};

// Every fault, in the order --help lists them. Adding one: a row here, its behaviour in
// connection_faults.cpp or device_faults.cpp.
const auto kFaultNames = std::to_array<FaultName>({
    {"refuse-connect", &Faults::refuseConnect, "the router's TCP port is closed"},
    {"status-error", &Faults::statusError, "the status block carries a non-zero error code"},
    {"mailbox-silent", &Faults::mailboxSilent, "no mailbox command is ever answered"},
    {"release-silent", &Faults::releaseSilent, "the release command is never answered"},
    {"register-silent", &Faults::registerSilent, "the host registration is never answered"},
    {"busy", &Faults::busy, "the state word reads 2 (busy)"},
    {"drop-after", &Faults::dropAfter, "every connection is dropped after N requests on it"},
    {"delay-ms", &Faults::delayMs, "every reply waits N milliseconds"},
    {"download-silent", &Faults::downloadSilent, "download frames are taken but never answered"},
    {"download-error", &Faults::downloadError,
     "download frames are answered with a non-zero error code"},
    {"download-drop-after", &Faults::downloadDropAfter,
     "a connection is dropped after N download frames"},
    {"reject-image", &Faults::rejectImage,
     "a downloaded image is never installed; the controller reboots with its old version"},
    {"never-return", &Faults::neverReturn,
     "after a flash the controller refuses every connection for good"},
    {"busy-after-reboot-ms", &Faults::busyAfterRebootMs,
     "after a reboot the state word reads 2 for N milliseconds"},
    {"install-ms", &Faults::installMs,
     "after RUN the old firmware serves N milliseconds more, then installs and reboots"},
    {"reboot-after-writes", &Faults::rebootAfterWrites,
     "the N-th parameter write after an install reboots it with factory parameters"},
    {"stall-download", &Faults::stallDownload,
     "after N download frames a connection is left open but no longer read"},
    {"route", &Faults::route,
     "answers only frames from this NetId on a connection from A.B.C.D; drops the rest"},
    {"drop-after-reads", &Faults::dropAfterReads,
     "a connection is closed at its N+1-th parameter read, unanswered"},
    {"cut-at", &Faults::cutAt,
     "once: the N-th event (command, STOP/RUN, download frame) drops every connection"},
    {"restart-at", &Faults::restartAt,
     "once: the N-th event drops every connection and the controller restarts"},
    {"not-ready-after-reboot-ms", &Faults::notReadyAfterRebootMs,
     "after a reboot that installed the image the state word reads 0 for N milliseconds"},
    {"lose-run", &Faults::loseRun,
     "the first N RUNs after a complete download are lost with their connection"},
    {"restart-after-readback-ms", &Faults::restartAfterReadbackMs,
     "N ms after the session that wrote and read back parameters after an install is "
     "released, restarts with factory parameters"},
    {"busy-after-cut-ms", &Faults::busyAfterCutMs,
     "after a download connection ends early the state word reads 2 for N milliseconds"},
    {"wrong-invoke-after", &Faults::wrongInvokeAfter,
     "the reply to the N-th request on a connection carries another invoke id"},
    {"state-flap-ms", &Faults::stateFlapMs,
     "the state word alternates between 1 (ready) and 2 (busy) every N milliseconds"},
    {"cut-events", &Faults::cutEvents,
     "with cut-at=K: the N events from the K-th on are each cut, not only the K-th"},
    {"write-delay-ms", &Faults::writeDelayMs,
     "the PLC program answers a parameter write only N milliseconds after it first sees it"},
    {"outage-at", &Faults::outageAt,
     "once: from the N-th event nothing is answered on any connection for outage-ms"},
    {"outage-ms", &Faults::outageMs,
     "how long the outage of outage-at lasts, in milliseconds; connections stay open"},
    {"refuse-after-restore", &Faults::refuseAfterRestore,
     "once the session that wrote parameters after an install is released, the router's port "
     "closes and every connection drops, until the faults change"},
});

constexpr int kMaxCount = 24 * 60 * 60 * 1000;

std::optional<int> ParseNumber(const std::string& text, int max) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > max) {
        return std::nullopt;
    }
    return value;
}

// N decimal octets separated by dots, nothing else.
template <size_t N>
std::optional<std::array<uint8_t, N>> ParseOctets(const std::string& text) {
    std::array<uint8_t, N> octets{};
    size_t start = 0;
    for (size_t i = 0; i < N; ++i) {
        const size_t dot = i + 1 < N ? text.find('.', start) : text.size();
        if (dot == std::string::npos || dot == start || dot - start > 3) {
            return std::nullopt;
        }
        const auto octet = ParseNumber(text.substr(start, dot - start), 255);
        if (!octet) {
            return std::nullopt;
        }
        octets[i] = static_cast<uint8_t>(*octet);
        start = dot + 1;
    }
    return octets;
}

bool SetField(bool Faults::*flag, const std::string& name, const std::optional<std::string>& value,
              Faults& faults, std::string& error) {
    if (value) {
        error = "fault " + name + " takes no value";
        return false;
    }
    faults.*flag = true;
    return true;
}

bool SetField(int Faults::*count, const std::string& name, const std::optional<std::string>& value,
              Faults& faults, std::string& error) {
    if (!value) {
        error = "fault " + name + " needs a value: " + name + "=N";
        return false;
    }
    const auto number = ParseNumber(*value, kMaxCount);
    if (!number) {
        error = "fault " + name + ": '" + *value + "' is not a whole number from 0 to 86400000";
        return false;
    }
    faults.*count = *number;
    return true;
}

bool SetField(std::optional<AmsNetId> Faults::*netId, const std::string& name,
              const std::optional<std::string>& value, Faults& faults, std::string& error) {
    const auto octets = value ? ParseOctets<6>(*value) : std::nullopt;
    if (!octets) {
        error = "fault " + name + " needs an AMS NetId: " + name + "=A.B.C.D.E.F";
        return false;
    }
    AmsNetId id{};
    std::copy(octets->begin(), octets->end(), id.b);
    faults.*netId = id;
    return true;
}

// What --help shows after the name.
const char* ValueHint(const FaultField& field) {
    switch (field.index()) {
        case 1:
            return "=N";
        case 2:
            return "=A.B.C.D.1.1";
        default:
            return "";
    }
}

}  // namespace

bool ApplyFault(const std::string& setting, Faults& faults, std::string& error) {
    const size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    const std::optional<std::string> value =
        equals == std::string::npos ? std::nullopt : std::optional(setting.substr(equals + 1));
    for (const auto& f : kFaultNames) {
        if (name == f.name) {
            return std::visit(
                [&](auto field) { return SetField(field, name, value, faults, error); }, f.field);
        }
    }
    error = "unknown fault '" + name + "' (see --help for the list)";
    return false;
}

std::string FaultHelp() {
    std::string text;
    for (const auto& f : kFaultNames) {
        std::string left = std::string("  ") + f.name + ValueHint(f.field);
        left.resize(std::max<size_t>(left.size() + 1, 26), ' ');
        text += left + f.help + "\n";
    }
    return text;
}

std::optional<platform::Ipv4> ParseIpv4(const std::string& text) {
    return ParseOctets<4>(text);
}

std::optional<std::pair<uint8_t, uint8_t>> ParseVersion(const std::string& text) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos) {
        return std::nullopt;
    }
    const auto major = ParseNumber(text.substr(0, dot), 255);
    const auto minor = ParseNumber(text.substr(dot + 1), 255);
    if (!major || !minor) {
        return std::nullopt;
    }
    return std::pair{static_cast<uint8_t>(*major), static_cast<uint8_t>(*minor)};
}

}  // namespace sim
