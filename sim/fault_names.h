// The simulator's faults by name, as the corvane-sim program takes them on its command line:
// "NAME" for an on/off fault, "NAME=VALUE" for a counted one.
#pragma once

#include <optional>
#include <string>

#include "platform/tcp_socket.h"
#include "sim/controller.h"

namespace sim {

// Switches on the fault `setting` names; false with a readable reason for an unknown name, a
// missing, superfluous or malformed value.
bool ApplyFault(const std::string& setting, Faults& faults, std::string& error);

// One line per fault: name, value if any, and what it does.
std::string FaultHelp();

// "a.b.c.d" with four decimal octets, nothing else.
std::optional<platform::Ipv4> ParseIpv4(const std::string& text);
// "MAJOR.MINOR", each 0 to 255.
std::optional<std::pair<uint8_t, uint8_t>> ParseVersion(const std::string& text);

}  // namespace sim
