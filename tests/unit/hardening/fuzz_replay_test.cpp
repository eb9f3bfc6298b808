// Replays the fuzz targets' committed seeds and regression inputs through the same checks the
// fuzzers run, in the ordinary native build: a check that fails stops the process, so a case
// that once crashed can never come back unnoticed.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

extern "C" int AdsReplyFuzzOne(const uint8_t* data, size_t size);
extern "C" int SimRequestFuzzOne(const uint8_t* data, size_t size);
extern "C" int AdsConnectionFuzzOne(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;
using FuzzOne = int (*)(const uint8_t*, size_t);

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Target {
    const char* name;
    FuzzOne run;
    const char* corpus;      // committed seeds
    const char* regression;  // inputs that once failed, kept here for good
};

void PrintTo(const Target& target, std::ostream* out) {
    *out << target.name;
}

class FuzzReplayTest : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplayTest, EverySeedAndRegressionInputPassesTheChecks) {
    const Target& target = GetParam();
    size_t replayed = 0;
    for (const char* dir : {target.corpus, target.regression}) {
        if (!fs::is_directory(dir)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            SCOPED_TRACE(entry.path().string());
            const std::vector<uint8_t> input = ReadFile(entry.path());
            EXPECT_EQ(target.run(input.data(), input.size()), 0);
            ++replayed;
        }
    }
    // An empty or misplaced corpus would make this test pass without checking anything.
    EXPECT_GE(replayed, 5u);
}

// Degenerate inputs that seeds rarely hold: nothing, a lone byte, headers cut anywhere.
TEST_P(FuzzReplayTest, ShortAndTruncatedInputsPassTheChecks) {
    const Target& target = GetParam();
    const std::vector<uint8_t> seed = ReadFile(fs::directory_iterator(target.corpus)->path());
    ASSERT_FALSE(seed.empty());
    for (size_t n = 0; n <= seed.size(); ++n) {
        EXPECT_EQ(target.run(seed.data(), n), 0) << "first " << n << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FuzzReplayTest,
    ::testing::Values(
        Target{"ads_reply", AdsReplyFuzzOne, CORVANE_SOURCE_DIR "/tests/fuzz/ads/corpus",
               CORVANE_SOURCE_DIR "/tests/unit/hardening/regressions/ads_reply"},
        Target{"ads_connection", AdsConnectionFuzzOne, CORVANE_SOURCE_DIR "/tests/fuzz/ads/corpus",
               CORVANE_SOURCE_DIR "/tests/unit/hardening/regressions/ads_connection"},
        Target{"sim_request", SimRequestFuzzOne, CORVANE_SOURCE_DIR "/tests/fuzz/sim/corpus",
               CORVANE_SOURCE_DIR "/tests/unit/hardening/regressions/sim_request"}),
    [](const ::testing::TestParamInfo<Target>& param) { return std::string(param.param.name); });

}  // namespace
