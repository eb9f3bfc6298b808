// The simulated controller's mailbox program, status block and PLC state over ADS.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "tests/unit/sim/raw_client.h"
#include "tests/unit/sim/sim_fixture.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::Record;
using corvane::test::SimTest;

uint32_t Bits(float v) {
    return std::bit_cast<uint32_t>(v);
}

class SimMailboxTest : public SimTest {};

TEST_F(SimMailboxTest, GetParameterAnswersEveryIdInItsEncoding) {
    auto& simulator = Start();
    simulator.SetFirmware(3, 12);
    // Values a float cannot carry exactly, or at the edge of a 16-bit read.
    simulator.SetIntParameter(11, 16777217);
    simulator.SetIntParameter(4, -32768);
    for (int id = 0; id <= 12; ++id) {
        SCOPED_TRACE(id);
        const Record r =
            Exchange(Command(8, 100 + static_cast<uint32_t>(id), static_cast<uint16_t>(id)));
        ASSERT_EQ(Code(r), 8);
        EXPECT_EQ(Sequence(r), 100u + static_cast<uint32_t>(id));
        EXPECT_EQ(common::LoadLe16(r, 10), id);
        const uint32_t value = common::LoadLe32(r, 12);
        if (sim::IsFloatParameter(id)) {
            EXPECT_EQ(value, Bits(simulator.FloatParameter(id)));
        } else if (id == 4 || id == 11) {
            EXPECT_EQ(static_cast<int32_t>(value), simulator.IntParameter(id));
        } else if (id == 9) {
            EXPECT_EQ(static_cast<int8_t>(r[12]), simulator.IntParameter(9));
            EXPECT_EQ(value >> 8, 0u) << "an 8-bit value alone";
        } else if (id == 10) {
            EXPECT_EQ(value, 3u | (12u << 8)) << "major in byte 12, minor in byte 13";
        } else {
            EXPECT_EQ(value, 0u) << "an unknown id is answered with value 0";
        }
    }
}

TEST_F(SimMailboxTest, InitialAndFactoryValuesAreDistinctAndNonTrivial) {
    auto& simulator = Start();
    for (int id = 0; id < sim::kParameterCount; ++id) {
        SCOPED_TRACE(id);
        if (sim::IsFloatParameter(id)) {
            EXPECT_NE(simulator.FloatParameter(id), 0.0f);
            EXPECT_NE(simulator.FloatParameter(id), -1.0f) << "-1 reads as a failed read";
            EXPECT_NE(simulator.FloatParameter(id), sim::Controller::FactoryFloatParameter(id));
        } else if (sim::IsIntParameter(id)) {
            EXPECT_NE(simulator.IntParameter(id), 0);
            EXPECT_NE(simulator.IntParameter(id), sim::Controller::FactoryIntParameter(id));
        }
    }
}

TEST_F(SimMailboxTest, SetParameterStoresTheValueInItsEncoding) {
    auto& simulator = Start();
    EXPECT_EQ(Code(Exchange(Command(7, 1, 2, Bits(42.25f)))), 7);
    EXPECT_EQ(simulator.FloatParameter(2), 42.25f);
    Exchange(Command(7, 2, 4, static_cast<uint32_t>(-32768)));
    EXPECT_EQ(simulator.IntParameter(4), -32768);
    Exchange(Command(7, 3, 11, 16777217));
    EXPECT_EQ(simulator.IntParameter(11), 16777217);
    Exchange(Command(7, 4, 9, 0xFFFFFF85));  // only byte 12 counts: -123
    EXPECT_EQ(simulator.IntParameter(9), -123);
    const auto firmware = simulator.Firmware();
    Exchange(Command(7, 5, 10, 0x0909));
    EXPECT_EQ(simulator.Firmware(), firmware) << "the version is not a writable parameter";
    // Reads give back what was written.
    EXPECT_EQ(common::LoadLe32(Exchange(Command(8, 6, 2)), 12), Bits(42.25f));
    EXPECT_EQ(static_cast<int16_t>(common::LoadLe16(Exchange(Command(8, 7, 4)), 12)), -32768);
    EXPECT_EQ(common::LoadLe32(Exchange(Command(8, 8, 11)), 12), 16777217u);
}

TEST_F(SimMailboxTest, RegisterHostRecordsItsAddress) {
    auto& simulator = Start();
    Record r = Command(13, 1);
    r[10] = 192;
    r[11] = 168;
    r[12] = 7;
    r[13] = 21;
    EXPECT_EQ(Code(Exchange(r)), 13);
    EXPECT_EQ(simulator.stats().lastRegisteredHost, (platform::Ipv4{192, 168, 7, 21}));
    EXPECT_EQ(Code(Exchange(Command(15, 2))), 15);
}

TEST_F(SimMailboxTest, ACommandIsAnsweredOnceUntilItsSequenceNumberChanges) {
    auto& simulator = Start();
    Exchange(Command(8, 5, 1));
    Exchange(Command(8, 5, 2));  // same code and number: not a new request
    EXPECT_EQ(common::LoadLe16(ReadResponse(), 10), 1);
    Exchange(Command(8, 6, 2));
    EXPECT_EQ(common::LoadLe16(ReadResponse(), 10), 2);
    const auto stats = simulator.stats();
    EXPECT_EQ(stats.mailboxAnswered.at(8), 2u);
    EXPECT_EQ(stats.commandBlockWrites, 3u);
}

TEST_F(SimMailboxTest, StoppedPlcAnswersNothingUntilItRunsAgain) {
    auto& simulator = Start();
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr), 0);
    EXPECT_EQ(Code(Exchange(Command(8, 1, 3))), 0);
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 0, nullptr), 0);
    const Record r = ReadResponse();
    EXPECT_EQ(Code(r), 8) << "the waiting command is answered in the first cycle in RUN";
    EXPECT_EQ(Sequence(r), 1u);
    EXPECT_EQ(simulator.stats().mailboxAnswered.at(8), 1u);
}

TEST_F(SimMailboxTest, UnknownCommandCodeIsNotAnswered) {
    auto& simulator = Start();
    EXPECT_EQ(Code(Exchange(Command(99, 1))), 0);
    EXPECT_EQ(simulator.stats().mailboxReceived.at(99), 1u);
}

TEST_F(SimMailboxTest, StatusBlockShowsStateDetailAndError) {
    auto& simulator = Start();
    auto s = ReadStatus();
    EXPECT_EQ(s.stateWord, 1);
    EXPECT_EQ(s.detailWord, 0);
    EXPECT_EQ(s.errorCode, 0u);
    simulator.SetStateWord(-3);
    simulator.SetDetailWord(-300);
    simulator.SetErrorCode(0x12345678);
    s = ReadStatus();
    EXPECT_EQ(s.stateWord, -3);
    EXPECT_EQ(s.detailWord, -300);
    EXPECT_EQ(s.errorCode, 0x12345678u);
}

// Faults of the mailbox program, each seen over the wire, and lifted again at run time.
struct MailboxFault {
    const char* name;
    void (*set)(sim::Faults&);
    uint16_t silencedCode;  // 0 = every code
};

void PrintTo(const MailboxFault& f, std::ostream* os) {
    *os << f.name;
}

class SimMailboxFaultTest : public SimTest, public ::testing::WithParamInterface<MailboxFault> {};

TEST_P(SimMailboxFaultTest, SilencesItsCommandsUntilLifted) {
    sim::Faults faults;
    GetParam().set(faults);
    options_.faults = faults;
    auto& simulator = Start();
    uint32_t sequence = 1;
    for (const uint16_t code : {uint16_t{8}, uint16_t{13}, uint16_t{15}, uint16_t{7}}) {
        SCOPED_TRACE(code);
        const Record r = Exchange(Command(code, sequence++, 1, Bits(12.5f)));
        const bool silenced = GetParam().silencedCode == 0 || GetParam().silencedCode == code;
        EXPECT_EQ(Code(r) == code, !silenced);
    }
    // The last silenced command is answered once the fault is gone.
    const Record last =
        Command(GetParam().silencedCode == 0 ? 8 : GetParam().silencedCode, sequence);
    EXPECT_NE(Sequence(Exchange(last)), sequence);
    simulator.SetFaults({});
    EXPECT_EQ(Sequence(ReadResponse()), sequence);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimMailboxFaultTest,
    ::testing::Values(
        MailboxFault{"MailboxSilent", [](sim::Faults& f) { f.mailboxSilent = true; }, 0},
        MailboxFault{"ReleaseSilent", [](sim::Faults& f) { f.releaseSilent = true; }, 15},
        MailboxFault{"RegisterSilent", [](sim::Faults& f) { f.registerSilent = true; }, 13}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SimMailboxTest, BusyAndStatusErrorFaultsShowInTheStatusBlock) {
    options_.faults.busy = true;
    options_.faults.statusError = true;
    auto& simulator = Start();
    auto s = ReadStatus();
    EXPECT_EQ(s.stateWord, 2);
    EXPECT_NE(s.errorCode, 0u);
    simulator.SetFaults({});
    s = ReadStatus();
    EXPECT_EQ(s.stateWord, 1);
    EXPECT_EQ(s.errorCode, 0u);
}

TEST_F(SimMailboxTest, ReadStateAndDeviceInfoAnswerThePlcRuntime) {
    auto& simulator = Start();
    corvane::test::RawClient client(corvane::test::TestOctets());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.SendFrame(4, 21, {}, 0x0004));
    auto reply = client.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->header.stateFlags, 0x0005);
    EXPECT_EQ(reply->header.invokeId, 21u);
    EXPECT_EQ(reply->data, (std::vector<uint8_t>{0, 0, 0, 0, 5, 0, 0, 0}));
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr), 0);
    ASSERT_TRUE(client.SendFrame(4, 22, {}, 0x0004));
    reply = client.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data[4], 6);
    EXPECT_EQ(simulator.PlcState(), 6);

    ASSERT_TRUE(client.SendFrame(1, 23, {}, 0x0004));
    reply = client.NextReply();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->data.size(), 24u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply->data.data() + 8)), "Corvane PLC");
}

struct AmsFailure {
    const char* name;
    uint16_t commandId;
    uint16_t targetPort;
    uint32_t errorCode;
};

void PrintTo(const AmsFailure& f, std::ostream* os) {
    *os << f.name;
}

class SimAmsFailureTest : public SimTest, public ::testing::WithParamInterface<AmsFailure> {};

TEST_P(SimAmsFailureTest, IsAnsweredWithAnAmsErrorAndNoData) {
    Start();
    corvane::test::RawClient client(corvane::test::TestOctets());
    ASSERT_TRUE(client.Connected());
    const std::vector<uint8_t> read{0x20, 0x40, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0};
    ASSERT_TRUE(client.SendFrame(GetParam().commandId, 77, read, 0x0004, GetParam().targetPort));
    const auto reply = client.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->header.commandId, GetParam().commandId);
    EXPECT_EQ(reply->header.invokeId, 77u);
    EXPECT_EQ(reply->header.errorCode, GetParam().errorCode);
    EXPECT_EQ(reply->header.dataLength, 0u);
    EXPECT_EQ(reply->header.target.port, 32779) << "addresses are swapped";
    EXPECT_EQ(reply->header.source.netId, client.Target().netId);
    EXPECT_EQ(reply->header.source.port, GetParam().targetPort);
}

INSTANTIATE_TEST_SUITE_P(Commands, SimAmsFailureTest,
                         ::testing::Values(AmsFailure{"UnknownPort", 2, 851, 0x6},
                                           AmsFailure{"UnknownCommand", 0x77, 800, 0x8},
                                           AmsFailure{"UnservedAdsCommand", 9, 800, 0x701}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
