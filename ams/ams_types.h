// AMS addressing as the ADS client library names it: a 6-byte NetId and a 16-bit port.
#pragma once

#include <array>
#include <cstdint>

// Kept in the global namespace with the ADS library's own names, so the device link and the
// flash sequence read like any other ADS client.
struct AmsNetId {
    uint8_t b[6];

    bool operator==(const AmsNetId&) const = default;
};

struct AmsAddr {
    AmsNetId netId;
    uint16_t port;

    bool operator==(const AmsAddr&) const = default;
};

namespace ams {

inline constexpr uint16_t kPlcRuntimePort = 800;

// The controller's NetId is its IPv4 address followed by 1.1.
inline AmsNetId NetIdFromIpv4(const std::array<uint8_t, 4>& ip) {
    return AmsNetId{{ip[0], ip[1], ip[2], ip[3], 1, 1}};
}

}  // namespace ams
