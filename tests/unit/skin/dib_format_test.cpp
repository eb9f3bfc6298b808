#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "skin/portable/dib_format.h"

namespace {

using skin::DibInfoHeader;

TEST(DibInfoHeader, EncodesEveryFieldLittleEndianAtItsOffset) {
    DibInfoHeader h;
    h.width = 609;
    h.height = -536;
    h.bitCount = 24;
    h.compression = 3;
    h.sizeImage = 0x01020304;
    h.xPelsPerMeter = 3780;
    h.yPelsPerMeter = -1;
    h.coloursUsed = 16;
    h.coloursImportant = 7;
    const std::array<uint8_t, 40> expected{0x28, 0x00, 0x00, 0x00,  // header size 40
                                           0x61, 0x02, 0x00, 0x00,  // width 609
                                           0xE8, 0xFD, 0xFF, 0xFF,  // height -536
                                           0x01, 0x00, 0x18, 0x00,  // planes 1, 24 bits
                                           0x03, 0x00, 0x00, 0x00,  // compression
                                           0x04, 0x03, 0x02, 0x01,  // image size
                                           0xC4, 0x0E, 0x00, 0x00,  // 3780 pixels per metre
                                           0xFF, 0xFF, 0xFF, 0xFF,  // -1
                                           0x10, 0x00, 0x00, 0x00,  // colours used
                                           0x07, 0x00, 0x00, 0x00};
    std::array<uint8_t, 40> bytes{};
    skin::EncodeDibInfoHeader(h, bytes);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(skin::DecodeDibInfoHeader(expected), h);
}

struct RowCase {
    int64_t width;
    unsigned bits;
    uint32_t bytes;
};

class DibRowBytesTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(DibRowBytesTest, PadsEveryRowToFourBytes) {
    const auto c = GetParam();
    ASSERT_TRUE(skin::DibRowBytes(c.width, c.bits).has_value());
    EXPECT_EQ(*skin::DibRowBytes(c.width, c.bits), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Widths, DibRowBytesTest,
                         ::testing::Values(RowCase{1, 1, 4}, RowCase{32, 1, 4}, RowCase{33, 1, 8},
                                           RowCase{9, 4, 8}, RowCase{5, 8, 8}, RowCase{3, 16, 8},
                                           RowCase{3, 24, 12}, RowCase{609, 24, 1828},
                                           RowCase{1, 32, 4}, RowCase{0x7FFFFFFF, 8, 0x80000000u}));

TEST(DibRowBytes, RefusesWidthsAndBitCountsThatMakeNoSense) {
    EXPECT_FALSE(skin::DibRowBytes(0, 24));
    EXPECT_FALSE(skin::DibRowBytes(-5, 24));
    EXPECT_FALSE(skin::DibRowBytes(4, 0));
    EXPECT_FALSE(skin::DibRowBytes(4, 33));
    EXPECT_FALSE(skin::DibRowBytes(int64_t{1} << 31, 8));
    EXPECT_FALSE(skin::DibRowBytes(0x7FFFFFFF, 32));  // a row of 8 GiB does not fit in 32 bits
}

TEST(DibPixelBytes, CountsTopDownRowsAndStopsAtTheLimitWithoutOverflow) {
    EXPECT_EQ(skin::DibPixelBytes(3, 2, 24, 1000), 24u);
    EXPECT_EQ(skin::DibPixelBytes(3, -2, 24, 1000), 24u);
    EXPECT_EQ(skin::DibPixelBytes(3, 2, 24, 24), 24u);
    EXPECT_FALSE(skin::DibPixelBytes(3, 2, 24, 23));
    EXPECT_FALSE(skin::DibPixelBytes(3, 0, 24, 1000));
    // 2^31 - 1 rows of 2^33 - 4 bytes would wrap a 64-bit product many times over.
    EXPECT_FALSE(skin::DibPixelBytes(0x7FFFFFFF, 0x7FFFFFFF, 32, UINT64_MAX));
    // The most negative height has no positive counterpart in the header field.
    EXPECT_FALSE(skin::DibPixelBytes(4, INT32_MIN, 8, UINT64_MAX / 2));
}

std::vector<uint8_t> HeaderBlock(unsigned bits, uint32_t coloursUsed, size_t tableEntries) {
    std::vector<uint8_t> block(40 + 4 * tableEntries, 0);
    DibInfoHeader h;
    h.width = 4;
    h.height = 4;
    h.bitCount = static_cast<uint16_t>(bits);
    h.coloursUsed = coloursUsed;
    skin::EncodeDibInfoHeader(h, block);
    for (size_t i = 0; i < tableEntries; ++i) {
        block[40 + 4 * i] = static_cast<uint8_t>(i);            // blue
        block[40 + 4 * i + 1] = static_cast<uint8_t>(100 + i);  // green
        block[40 + 4 * i + 2] = static_cast<uint8_t>(200 - i);  // red
        block[40 + 4 * i + 3] = 0xAA;                           // reserved, not a colour
    }
    return block;
}

struct PaletteCase {
    unsigned bits;
    uint32_t coloursUsed;
    size_t entries;
};

class DibPaletteTest : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(DibPaletteTest, TakesColoursUsedOrTheFullTableForTheBitCount) {
    const auto c = GetParam();
    const auto colours = skin::DibPaletteColours(HeaderBlock(c.bits, c.coloursUsed, 256));
    ASSERT_EQ(colours.size(), c.entries);
    if (!colours.empty()) {
        EXPECT_EQ(colours.front(), (skin::DibRgb{200, 100, 0}));
        EXPECT_EQ(colours.back(), (skin::DibRgb{static_cast<uint8_t>(200 - (c.entries - 1)),
                                                static_cast<uint8_t>(100 + (c.entries - 1)),
                                                static_cast<uint8_t>(c.entries - 1)}));
    }
}

INSTANTIATE_TEST_SUITE_P(BitCounts, DibPaletteTest,
                         ::testing::Values(PaletteCase{1, 0, 2}, PaletteCase{4, 0, 16},
                                           PaletteCase{8, 0, 256}, PaletteCase{8, 16, 16},
                                           PaletteCase{4, 3, 3}, PaletteCase{16, 0, 0},
                                           PaletteCase{24, 0, 0}, PaletteCase{24, 12, 0},
                                           PaletteCase{32, 0, 0}));

TEST(DibPaletteColours, NeverReadsPastTheBlockItIsGiven) {
    // A colours-used field larger than the table must not walk off the block's end.
    EXPECT_EQ(skin::DibPaletteColours(HeaderBlock(8, 200, 10)).size(), 10u);
    EXPECT_EQ(skin::DibPaletteColours(HeaderBlock(8, 100000, 256)).size(), 256u);
    EXPECT_TRUE(skin::DibPaletteColours(std::vector<uint8_t>(39, 0)).empty());
}

}  // namespace
