// Fault names and the program's address and version arguments.
#include <gtest/gtest.h>

#include <tuple>

#include "sim/fault_names.h"

namespace {

TEST(SimFaultNames, EveryFaultIsReachableByName) {
    sim::Faults f;
    std::string error;
    for (const char* setting : {"refuse-connect",
                                "status-error",
                                "mailbox-silent",
                                "release-silent",
                                "register-silent",
                                "busy",
                                "drop-after=3",
                                "delay-ms=250",
                                "download-silent",
                                "download-error",
                                "download-drop-after=7",
                                "reject-image",
                                "never-return",
                                "busy-after-reboot-ms=900",
                                "install-ms=4000",
                                "reboot-after-writes=2",
                                "stall-download=5",
                                "route=10.99.0.5.1.1",
                                "drop-after-reads=3",
                                "cut-at=12",
                                "restart-at=13",
                                "not-ready-after-reboot-ms=400",
                                "lose-run=1",
                                "restart-after-readback-ms=600",
                                "busy-after-cut-ms=700"}) {
        EXPECT_TRUE(sim::ApplyFault(setting, f, error)) << setting << ": " << error;
    }
    EXPECT_TRUE(f.refuseConnect && f.statusError && f.mailboxSilent && f.releaseSilent &&
                f.registerSilent && f.busy && f.downloadSilent && f.downloadError &&
                f.rejectImage && f.neverReturn);
    EXPECT_EQ(f.dropAfter, 3);
    EXPECT_EQ(f.delayMs, 250);
    EXPECT_EQ(f.downloadDropAfter, 7);
    EXPECT_EQ(f.busyAfterRebootMs, 900);
    EXPECT_EQ(std::tie(f.installMs, f.rebootAfterWrites, f.stallDownload), std::tuple(4000, 2, 5));
    EXPECT_TRUE(f.route && *f.route == (AmsNetId{{10, 99, 0, 5, 1, 1}}));
    EXPECT_EQ(std::tie(f.dropAfterReads, f.cutAt, f.restartAt, f.notReadyAfterRebootMs, f.loseRun,
                       f.restartAfterReadbackMs, f.busyAfterCutMs),
              std::tuple(3, 12, 13, 400, 1, 600, 700));
    EXPECT_NE(sim::FaultHelp().find("busy-after-reboot-ms=N"), std::string::npos);
    EXPECT_NE(sim::FaultHelp().find("route=A.B.C.D.1.1"), std::string::npos);
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
