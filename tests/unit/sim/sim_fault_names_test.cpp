// Fault names and the program's address and version arguments.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sim/fault_names.h"

namespace {

// Every fault the help lists is taken by its name and switches a field of its own: the list is
// the one table's, so a new row is covered without a line here.
TEST(SimFaultNames, EveryFaultIsReachableByName) {
    std::istringstream help(sim::FaultHelp());
    std::vector<sim::Faults> applied;
    for (std::string line; std::getline(help, line);) {
        std::string setting = line.substr(2, line.find(' ', 2) - 2);
        if (setting.ends_with("=N")) {
            setting.replace(setting.size() - 1, 1, "3");
        } else if (setting.ends_with("=A.B.C.D.1.1")) {
            setting = setting.substr(0, setting.find('=')) + "=10.99.0.5.1.1";
        }
        sim::Faults f;
        std::string error;
        EXPECT_TRUE(sim::ApplyFault(setting, f, error)) << setting << ": " << error;
        EXPECT_NE(f, sim::Faults{}) << setting << " changed nothing";
        for (const sim::Faults& other : applied) {
            EXPECT_NE(f, other) << setting << " sets the field of another fault";
        }
        applied.push_back(f);
    }
    EXPECT_GE(applied.size(), 25u);
    sim::Faults f;
    std::string error;
    ASSERT_TRUE(sim::ApplyFault("route=10.99.0.5.1.1", f, error));
    EXPECT_TRUE(f.route && *f.route == (AmsNetId{{10, 99, 0, 5, 1, 1}}));
    ASSERT_TRUE(sim::ApplyFault("busy-after-reboot-ms=900", f, error));
    EXPECT_EQ(f.busyAfterRebootMs, 900);
}

TEST(SimFaultNames, BadSettingsAreRefusedWithAReason) {
    for (const char* setting : {"", "nope", "busy=1", "drop-after", "drop-after=", "drop-after=x",
                                "drop-after=-2", "delay-ms=1e3", "delay-ms=99999999999", "route",
                                "route=10.99.0.5", "route=10.99.0.5.1.256"}) {
        sim::Faults f;
        std::string error;
        EXPECT_FALSE(sim::ApplyFault(setting, f, error)) << setting;
        EXPECT_FALSE(error.empty()) << setting;
    }
}

TEST(SimFaultNames, AddressesAndVersionsParseStrictly) {
    EXPECT_EQ(sim::ParseIpv4("127.11.0.254"), (platform::Ipv4{127, 11, 0, 254}));
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "a.b.c.d", "1.2.3.4 "}) {
        EXPECT_FALSE(sim::ParseIpv4(bad)) << bad;
    }
    EXPECT_EQ(sim::ParseVersion("3.12"), (std::pair<uint8_t, uint8_t>{3, 12}));
    for (const char* bad : {"3", "3.", ".3", "3.256", "x.1", "3.1.2"}) {
        EXPECT_FALSE(sim::ParseVersion(bad)) << bad;
    }
}

}  // namespace
