#include "sim/fault_names.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace sim {
namespace {

struct FaultName {
    const char* name;
    bool Faults::*flag;  // on/off faults
    int Faults::*count;  // counted faults
    const char* help;
    std::optional<AmsNetId> Faults::*netId = nullptr;  // faults that name an AMS NetId
};

constexpr std::array<FaultName, 18> kFaultNames{{
    {"refuse-connect", &Faults::refuseConnect, nullptr, "the router's TCP port is closed"},
    {"status-error", &Faults::statusError, nullptr,
     "the status block carries a non-zero error code"},
    {"mailbox-silent", &Faults::mailboxSilent, nullptr, "no mailbox command is ever answered"},
    {"release-silent", &Faults::releaseSilent, nullptr, "the release command is never answered"},
    {"register-silent", &Faults::registerSilent, nullptr,
     "the host registration is never answered"},
    {"busy", &Faults::busy, nullptr, "the state word reads 2 (busy)"},
    {"drop-after", nullptr, &Faults::dropAfter,
     "every connection is dropped after N requests on it"},
    {"delay-ms", nullptr, &Faults::delayMs, "every reply waits N milliseconds"},
    {"download-silent", &Faults::downloadSilent, nullptr,
     "download frames are taken but never answered"},
    {"download-error", &Faults::downloadError, nullptr,
     "download frames are answered with a non-zero error code"},
    {"download-drop-after", nullptr, &Faults::downloadDropAfter,
     "a connection is dropped after N download frames"},
    {"reject-image", &Faults::rejectImage, nullptr,
     "a downloaded image is never installed; the controller reboots with its old version"},
    {"never-return", &Faults::neverReturn, nullptr,
     "after a flash the controller refuses every connection for good"},
    {"busy-after-reboot-ms", nullptr, &Faults::busyAfterRebootMs,
     "after a reboot the state word reads 2 for N milliseconds"},
    {"install-ms", nullptr, &Faults::installMs,
     "after RUN the old firmware serves N milliseconds more, then installs and reboots"},
    {"reboot-after-writes", nullptr, &Faults::rebootAfterWrites,
     "the N-th parameter write after an install reboots it with factory parameters"},
    {"stall-download", nullptr, &Faults::stallDownload,
     "after N download frames a connection is left open but no longer read"},
    {"route", nullptr, nullptr,
     "answers only frames from this NetId on a connection from A.B.C.D; drops the rest",
     &Faults::route},
}};

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

}  // namespace

bool ApplyFault(const std::string& setting, Faults& faults, std::string& error) {
    const size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    for (const auto& f : kFaultNames) {
        if (name != f.name) {
            continue;
        }
        if (f.netId != nullptr) {
            const auto octets = equals == std::string::npos
                                    ? std::nullopt
                                    : ParseOctets<6>(setting.substr(equals + 1));
            if (!octets) {
                error = "fault " + name + " needs an AMS NetId: " + name + "=A.B.C.D.E.F";
                return false;
            }
            AmsNetId netId{};
            std::copy(octets->begin(), octets->end(), netId.b);
            faults.*f.netId = netId;
            return true;
        }
        if (f.flag != nullptr) {
            if (equals != std::string::npos) {
                error = "fault " + name + " takes no value";
                return false;
            }
            faults.*f.flag = true;
            return true;
        }
        if (equals == std::string::npos) {
            error = "fault " + name + " needs a value: " + name + "=N";
            return false;
        }
        const auto value = ParseNumber(setting.substr(equals + 1), 24 * 60 * 60 * 1000);
        if (!value) {
            error = "fault " + name + ": '" + setting.substr(equals + 1) +
                    "' is not a whole number from 0 to 86400000";
            return false;
        }
        faults.*f.count = *value;
        return true;
    }
    error = "unknown fault '" + name + "' (see --help for the list)";
    return false;
}

std::string FaultHelp() {
    std::string text;
    for (const auto& f : kFaultNames) {
        std::string left = std::string("  ") + f.name +
                           (f.count != nullptr ? "=N" : (f.netId != nullptr ? "=A.B.C.D.1.1" : ""));
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
