// A simulated controller on the test's own loopback address, with the ADS client's port open,
// and helpers that speak the mailbox protocol through the client.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "sim/controller.h"
#include "tests/support/test_address.h"

namespace corvane::test {

using Record = std::array<uint8_t, 32>;

struct Status {
    int16_t stateWord = 0;
    int16_t detailWord = 0;
    uint32_t errorCode = 0;
};

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        AdsClientResetForTests();
        options_.listen = TestOctets();
        options_.rebootMs = 100;
    }
    void TearDown() override {
        AdsClientResetForTests();
        simulator_.reset();
    }

    sim::Controller& Start() {
        simulator_ = std::make_unique<sim::Controller>(options_);
        EXPECT_TRUE(simulator_->Start()) << simulator_->LastError();
        const int32_t port = AdsPortOpen();
        AdsSyncSetTimeoutEx(port, 5000);
        return *simulator_;
    }

    static Record Command(uint16_t code, uint32_t sequence, uint16_t id = 0, uint32_t value = 0) {
        Record r{};
        common::StoreLe16(r, 0, code);
        common::StoreLe32(r, 6, sequence);
        common::StoreLe16(r, 10, id);
        common::StoreLe32(r, 12, value);
        return r;
    }

    int32_t WriteCommand(const Record& r) {
        return AdsSyncWriteReq(&plc_, 0x4020, 100, 32, r.data());
    }

    Record ReadResponse() {
        Record r{};
        EXPECT_EQ(AdsSyncReadReq(&plc_, 0x4020, 132, 32, r.data()), 0);
        return r;
    }

    // Writes the command and reads the response block right after it.
    Record Exchange(const Record& command) {
        EXPECT_EQ(WriteCommand(command), 0);
        return ReadResponse();
    }

    Status ReadStatus() {
        std::array<uint8_t, 28> s{};
        EXPECT_EQ(AdsSyncReadReq(&plc_, 0x4020, 164, 28, s.data()), 0);
        return {static_cast<int16_t>(common::LoadLe16(s, 0)),
                static_cast<int16_t>(common::LoadLe16(s, 2)), common::LoadLe32(s, 4)};
    }

    static uint16_t Code(const Record& r) { return common::LoadLe16(r, 0); }
    static uint32_t Sequence(const Record& r) { return common::LoadLe32(r, 6); }

    // Collects the controller's readable event lines (call before Start).
    void RecordEvents() {
        options_.onEvent = [this](const std::string& line) {
            std::lock_guard lock(eventsMutex_);
            events_.push_back(line);
        };
    }
    bool HasEvent(const std::string& line) {
        std::lock_guard lock(eventsMutex_);
        return std::find(events_.begin(), events_.end(), line) != events_.end();
    }

    std::mutex eventsMutex_;
    std::vector<std::string> events_;
    sim::Options options_;
    std::unique_ptr<sim::Controller> simulator_;
    AmsAddr plc_{ams::NetIdFromIpv4(TestOctets()), 800};
};

}  // namespace corvane::test
