// The simulated controller's JSON-lines log and its readable event lines.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/event_log.h"
#include "tests/unit/sim/sim_fixture.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::SimTest;

class SimLogTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("corvane-sim-log-" + std::string(info->name()) + "-" +
                 corvane::test::TestAddress() + ".jsonl");
        std::filesystem::remove(path_);
        options_.logPath = path_.string();
    }
    void TearDown() override {
        SimTest::TearDown();
        std::filesystem::remove(path_);
    }

    std::vector<std::string> Lines() const {
        std::ifstream file(path_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::filesystem::path path_;
};

bool Contains(const std::string& line, std::initializer_list<const char*> parts) {
    for (const char* part : parts) {
        if (line.find(part) == std::string::npos) {
            return false;
        }
    }
    return true;
}

TEST_F(SimLogTest, EveryRequestAndStateChangeIsOneJsonLine) {
    RecordEvents();
    Start();
    std::array<uint8_t, 28> status{};
    ASSERT_EQ(AdsSyncReadReq(&plc_, 0x4020, 164, 28, status.data()), 0);
    Exchange(Command(7, 1, 2, std::bit_cast<uint32_t>(42.25f)));
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr), 0);
    simulator_->Stop();  // everything is written and flushed

    const auto lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.front(), '{') << line;
        EXPECT_EQ(line.back(), '}') << line;
        EXPECT_TRUE(Contains(line, {"\"t_ms\":", "\"type\":"})) << line;
    }
    const auto has = [&](std::initializer_list<const char*> parts) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return Contains(l, parts); });
    };
    EXPECT_TRUE(has({"\"type\":\"request\"", "\"cmd\":2", "\"ig\":16416", "\"io\":164",
                     "\"len\":28", "\"peer\":\"127."}));
    EXPECT_TRUE(has({"\"type\":\"request\"", "\"cmd\":5", "\"ads_state\":6"}));
    EXPECT_TRUE(has({"\"type\":\"event\"", "\"event\":\"plc_stop\"", "PLC stopped"}));
    EXPECT_TRUE(has({"\"event\":\"connection\""}));
    // The parameters at the start, and once more after the write changed one.
    std::string written = ",";  // one of the values in the JSON list
    written += std::to_string(std::bit_cast<uint32_t>(42.25f)) + ",";
    const auto parameters = [](const std::string& l) { return Contains(l, {"\"parameters\""}); };
    EXPECT_EQ(std::ranges::count_if(lines, parameters), 2);
    EXPECT_TRUE(has({"\"event\":\"parameters\"", " 2=42.25 ", written.c_str()}));
    EXPECT_TRUE(HasEvent("PLC stopped"));
}

TEST_F(SimLogTest, UnwritableLogPathFailsToStart) {
    options_.logPath = (path_ / "no-such-directory" / "log.jsonl").string();
    sim::Controller simulator(options_);
    EXPECT_FALSE(simulator.Start());
    EXPECT_NE(simulator.LastError().find("log"), std::string::npos);
}

TEST(SimJson, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(sim::JsonEscape("a\"b\\c\nd\x01"), "a\\\"b\\\\c\\nd\\u0001");
}

}  // namespace
