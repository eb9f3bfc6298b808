// Loopback addresses for tests that need a simulated instrument: each test its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace corvane::test {

// The address for the running GoogleTest test, 127.<subnet>.x.y with x.y taken from a hash
// of the test's full name plus `k` (for tests that need several instruments). Every test
// runs in its own process under CTest, so the name, not a counter, keeps two concurrently
// running tests apart. The subnet is 0 unless CORVANE_TEST_SUBNET (1 to 254) moves a whole
// run elsewhere, so suites running side by side never share a listening address.
std::array<uint8_t, 4> TestOctets(unsigned k = 0);
std::string TestAddress(unsigned k = 0);

std::string FormatOctets(const std::array<uint8_t, 4>& octets);

}  // namespace corvane::test
