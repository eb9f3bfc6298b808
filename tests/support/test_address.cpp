#include "tests/support/test_address.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace corvane::test {
namespace {

uint8_t Subnet() {
    const char* value = std::getenv("CORVANE_TEST_SUBNET");
    if (value == nullptr) {
        return 0;
    }
    const long subnet = std::strtol(value, nullptr, 10);
    return (subnet >= 1 && subnet <= 254) ? static_cast<uint8_t>(subnet) : 0;
}

uint32_t Fnv1a(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    }
    return hash;
}

}  // namespace

std::array<uint8_t, 4> TestOctets(unsigned k) {
    std::string name = "no-test";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        name = std::string(info->test_suite_name()) + "." + info->name();
    }
    const uint32_t slot = (Fnv1a(name) + k) % (250u * 250u);
    return {127, Subnet(), static_cast<uint8_t>(slot / 250u + 1u),
            static_cast<uint8_t>(slot % 250u + 2u)};
}

std::string FormatOctets(const std::array<uint8_t, 4>& o) {
    return std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) + "." +
           std::to_string(o[3]);
}

std::string TestAddress(unsigned k) {
    return FormatOctets(TestOctets(k));
}

}  // namespace corvane::test
