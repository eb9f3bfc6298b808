#include "transfer/firmware_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/little_endian.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Crc32(std::span<const uint8_t> bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

TEST(FirmwareImage, IsTheConfiguredImageFileByteForByte) {
    const std::vector<uint8_t> file = ReadFile(CORVANE_TEST_FIRMWARE_IMAGE);
    const std::span<const uint8_t> image = FirmwareImage();
    ASSERT_EQ(image.size(), file.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), file.begin()));
    EXPECT_EQ(image.size() % kFirmwareChunkSize, 0u);
    // The same block on every call: read in place, never rebuilt.
    EXPECT_EQ(FirmwareImage().data(), image.data());
}

// The stand-in's records each carry their number, a marker and a CRC, so a capture shows
// which record arrived and whether it arrived whole.
TEST(StandinImage, HoldsThirtyNineSelfCheckingRecordsForVersion33) {
    const std::vector<uint8_t> file = ReadFile(CORVANE_TEST_STANDIN_IMAGE);
    ASSERT_EQ(file.size(), 80340u);
    constexpr std::array<uint8_t, 8> kMarker{'C', 'V', 'S', 'T', 'A', 'N', 'D', 'N'};
    for (size_t k = 0; k < 39; ++k) {
        SCOPED_TRACE(k);
        const std::span<const uint8_t> record =
            std::span<const uint8_t>(file).subspan(k * 2060, 2060);
        EXPECT_TRUE(std::equal(kMarker.begin(), kMarker.end(), record.begin()));
        EXPECT_EQ(common::LoadLe16(record, 8), k);
        EXPECT_EQ(common::LoadLe16(record, 10), 39);
        EXPECT_EQ(record[12], 3);
        EXPECT_EQ(record[13], 3);
        EXPECT_EQ(common::LoadLe32(record, 2056), Crc32(record.first(2056)));
    }
    // No two records share their filler.
    EXPECT_FALSE(std::equal(file.begin() + 14, file.begin() + 2056, file.begin() + 2060 + 14));
}

}  // namespace
