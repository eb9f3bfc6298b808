// The committed pictures of the wizard: sizes, depth, the buttons' key colour and dark edges,
// a backdrop dark enough for light text, and the icon's four images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "skin/portable/dib_file_reader.h"

namespace {

constexpr uint32_t kKey = 0x013567;  // RGB(1, 53, 103) as 0xRRGGBB

std::string PicturePath(const std::string& name) {
    return std::string(CORVANE_PICTURES_DIR) + "/" + name;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t chunk[4096];
        size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        std::fclose(f);
    }
    return bytes;
}

// A 24-bit picture with its pixels addressed from the top-left corner as 0xRRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rows;

    uint32_t At(int x, int y) const {
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
        const size_t at = static_cast<size_t>(height - 1 - y) * stride + 3 * static_cast<size_t>(x);
        return (uint32_t{rows[at + 2]} << 16) | (uint32_t{rows[at + 1]} << 8) | rows[at];
    }
};

::testing::AssertionResult LoadPicture(const std::string& name, Picture& picture) {
    const auto bytes = ReadWholeFile(PicturePath(name));
    const auto read = skin::ReadDibFromBytes(bytes);
    if (!read.ok()) {
        return ::testing::AssertionFailure()
               << name << ": " << skin::DescribeDibReadError(read.error);
    }
    const auto info = skin::DecodeDibInfoHeader(read.blocks.header);
    if (info.bitCount != 24 || info.height <= 0) {
        return ::testing::AssertionFailure() << name << " is not a bottom-up 24-bit picture";
    }
    picture = Picture{info.width, info.height, read.blocks.pixels};
    return ::testing::AssertionSuccess();
}

int Brightest(uint32_t rgb) {
    return std::max({(rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF});
}

struct SizeCase {
    const char* file;
    int width;
    int height;
};

class PictureSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PictureSize, IsA24BitPictureOfItsStatedSize) {
    Picture p;
    ASSERT_TRUE(LoadPicture(GetParam().file, p));
    EXPECT_EQ(p.width, GetParam().width);
    EXPECT_EQ(p.height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Resources, PictureSize,
    ::testing::Values(SizeCase{"bmp132.bmp", 609, 536}, SizeCase{"bmp135.bmp", 288, 65},
                      SizeCase{"bmp136.bmp", 31, 32}, SizeCase{"bmp137.bmp", 29, 28},
                      SizeCase{"bmp140.bmp", 29, 28}, SizeCase{"bmp145.bmp", 29, 28},
                      SizeCase{"bmp138.bmp", 30, 28}, SizeCase{"bmp141.bmp", 30, 28},
                      SizeCase{"bmp143.bmp", 30, 28}, SizeCase{"bmp139.bmp", 29, 28},
                      SizeCase{"bmp142.bmp", 29, 28}, SizeCase{"bmp144.bmp", 29, 28}),
    [](const auto& p) { return std::string(p.param.file).substr(0, 6); });

TEST(Backdrop, IsDarkWhereverLightTextMayStand) {
    Picture p;
    ASSERT_TRUE(LoadPicture("bmp132.bmp", p));
    // The whole right-hand area (headings, texts, boxes, buttons) and the bottom of the left
    // panel (the version): RGB(240, 240, 240) must stand out clearly everywhere.
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const bool textArea = x >= 250 || (x < 150 && y >= 400);
            if (textArea) {
                ASSERT_LE(Brightest(p.At(x, y)), 96) << "at " << x << "," << y;
            }
        }
    }
}

class ButtonImage : public ::testing::TestWithParam<int> {};

TEST_P(ButtonImage, HasTheKeyColourAroundADiscWithoutALightFringe) {
    Picture p;
    ASSERT_TRUE(LoadPicture("bmp" + std::to_string(GetParam()) + ".bmp", p));
    EXPECT_EQ(p.At(0, 0), kKey);
    EXPECT_EQ(p.At(p.width - 1, 0), kKey);
    EXPECT_EQ(p.At(0, p.height - 1), kKey);
    EXPECT_EQ(p.At(p.width - 1, p.height - 1), kKey);
    EXPECT_NE(p.At(p.width / 2, p.height / 2), kKey);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const uint32_t c = p.At(x, y);
            if (c == kKey) {
                continue;
            }
            const bool edge = x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1 ||
                              p.At(x - 1, y) == kKey || p.At(x + 1, y) == kKey ||
                              p.At(x, y - 1) == kKey || p.At(x, y + 1) == kKey;
            if (edge) {
                const int luminance = static_cast<int>(
                    0.3 * ((c >> 16) & 0xFF) + 0.59 * ((c >> 8) & 0xFF) + 0.11 * (c & 0xFF));
                // Half-covered pixels blended toward a light colour would come out far
                // brighter than this; the discs' own rims stay below it.
                ASSERT_LE(luminance, 110) << "light edge pixel at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, ButtonImage, ::testing::Range(137, 146));

TEST(ButtonImage, DisabledDiscsAreGrey) {
    for (int id : {140, 141, 142}) {
        Picture p;
        ASSERT_TRUE(LoadPicture("bmp" + std::to_string(id) + ".bmp", p));
        const int cx = p.width / 2;
        const int cy = p.height / 2;
        for (int y = cy - 8; y <= cy + 8; ++y) {
            for (int x = cx - 8; x <= cx + 8; ++x) {
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > 64) {
                    continue;  // the rim blends toward the dark edge colour
                }
                const uint32_t c = p.At(x, y);
                const int r = (c >> 16) & 0xFF;
                const int g = (c >> 8) & 0xFF;
                const int b = c & 0xFF;
                ASSERT_LE(std::abs(r - g), 8) << id << " at " << x << "," << y;
                ASSERT_LE(std::abs(b - g), 8) << id << " at " << x << "," << y;
            }
        }
    }
}

TEST(Icon, HoldsSixteenAndThirtyTwoPixelImagesInSixteenAnd256Colours) {
    const auto ico = ReadWholeFile(PicturePath("kestrup.ico"));
    ASSERT_GE(ico.size(), 6u);
    const std::span<const uint8_t> b(ico);
    EXPECT_EQ(common::LoadLe16(b, 0), 0);
    EXPECT_EQ(common::LoadLe16(b, 2), 1);  // icon, not cursor
    const unsigned count = common::LoadLe16(b, 4);
    ASSERT_EQ(count, 4u);
    ASSERT_GE(ico.size(), 6u + 16u * count);
    std::vector<std::pair<int, int>> found;  // (size, bits)
    for (unsigned i = 0; i < count; ++i) {
        const size_t e = 6 + 16 * i;
        const int size = ico[e];
        const int bits = common::LoadLe16(b, e + 6);
        const uint32_t bytes = common::LoadLe32(b, e + 8);
        const uint32_t offset = common::LoadLe32(b, e + 12);
        ASSERT_LE(uint64_t{offset} + bytes, ico.size());
        ASSERT_GE(bytes, 40u);
        const auto info = skin::DecodeDibInfoHeader(b.subspan(offset, 40));
        EXPECT_EQ(info.width, size);
        EXPECT_EQ(info.height, 2 * size);  // colour rows, then the mask
        EXPECT_EQ(info.bitCount, bits);
        const uint32_t colourRows = ((size * bits + 31) / 32 * 4) * size;
        const uint32_t maskRows = ((size + 31) / 32 * 4) * size;
        EXPECT_EQ(bytes, 40 + 4 * (1u << bits) + colourRows + maskRows);
        found.emplace_back(size, bits);
    }
    using P = std::pair<int, int>;
    for (const P& want : {P{16, 4}, P{32, 4}, P{16, 8}, P{32, 8}}) {
        EXPECT_NE(std::find(found.begin(), found.end(), want), found.end())
            << want.first << " pixels at " << want.second << " bits";
    }
}

}  // namespace
