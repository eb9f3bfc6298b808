#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <memory>
#include <vector>

#include "skin/portable/dib_file_reader.h"
#include "tests/unit/skin/bmp_builder.h"

namespace {

using skin::DibReadError;
using skin::test::BmpLayout;
using skin::test::BuildBmp;

TEST(ReadDib, TakesAPlainPictureIntoAHeaderBlockAndExactlyItsRows) {
    BmpLayout s;  // 3 x 2, 24 bits: 12-byte rows
    const auto file = BuildBmp(s);
    const auto r = skin::ReadDibFromBytes(file);
    ASSERT_TRUE(r.ok()) << skin::DescribeDibReadError(r.error);
    ASSERT_EQ(r.blocks.header.size(), 1064u);
    const auto info = skin::DecodeDibInfoHeader(r.blocks.header);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.bitCount, 24);
    ASSERT_EQ(r.blocks.pixels.size(), 24u);
    EXPECT_TRUE(std::equal(r.blocks.pixels.begin(), r.blocks.pixels.end(), file.begin() + 54));
}

TEST(ReadDib, KeepsTheColourTableAndPixelsOfAPalettePicture) {
    BmpLayout s;
    s.width = 5;
    s.height = 3;
    s.bitCount = 8;
    s.coloursUsed = 16;
    s.tableEntries = 16;
    const auto file = BuildBmp(s);
    const auto r = skin::ReadDibFromBytes(file);
    ASSERT_TRUE(r.ok()) << skin::DescribeDibReadError(r.error);
    const auto colours = skin::DibPaletteColours(r.blocks.header);
    ASSERT_EQ(colours.size(), 16u);
    EXPECT_EQ(colours[15], (skin::DibRgb{240, 30, 15}));
    ASSERT_EQ(r.blocks.pixels.size(), 24u);  // 3 rows of 8 bytes
    EXPECT_TRUE(std::equal(r.blocks.pixels.begin(), r.blocks.pixels.end(), file.begin() + 54 + 64));
}

TEST(ReadDib, AcceptsTopDownRowsUnchanged) {
    BmpLayout s;
    s.height = -4;
    const auto r = skin::ReadDibFromBytes(BuildBmp(s));
    ASSERT_TRUE(r.ok()) << skin::DescribeDibReadError(r.error);
    EXPECT_EQ(skin::DecodeDibInfoHeader(r.blocks.header).height, -4);
    EXPECT_EQ(r.blocks.pixels.size(), 48u);
}

TEST(ReadDib, TrailingBytesAfterTheRowsAreNotTakenIntoThePixelBlock) {
    BmpLayout s;
    auto file = BuildBmp(s);
    file.resize(file.size() + 4000, 0x55);
    const auto r = skin::ReadDibFromBytes(file);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.blocks.pixels.size(), 24u);
}

TEST(ReadDib, ReadsTheColourTableOnlyAsFarAsTheFileGoes) {
    // A 1-bit picture of one row: 54 header bytes, 8 table bytes, 4 pixel bytes. The header
    // block's table area reaches far beyond the file and must stay zero there.
    BmpLayout s;
    s.width = 1;
    s.height = 1;
    s.bitCount = 1;
    s.tableEntries = 2;
    const auto file = BuildBmp(s);
    ASSERT_EQ(file.size(), 66u);
    const auto r = skin::ReadDibFromBytes(file);
    ASSERT_TRUE(r.ok()) << skin::DescribeDibReadError(r.error);
    ASSERT_EQ(r.blocks.header.size(), 1064u);
    EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), r.blocks.header.begin() + 40));
    for (size_t i = 40 + 12; i < r.blocks.header.size(); ++i) {
        ASSERT_EQ(r.blocks.header[i], 0) << "at " << i;
    }
}

struct MalformedCase {
    const char* name;
    BmpLayout layout;
    size_t truncateTo;  // 0: keep the whole file
    DibReadError expected;
};

BmpLayout With(void (*change)(BmpLayout&)) {
    BmpLayout s;
    change(s);
    return s;
}

class ReadDibMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(ReadDibMalformed, RefusesWithItsReasonAndHandsBackNothing) {
    const auto& c = GetParam();
    auto file = BuildBmp(c.layout);
    if (c.truncateTo != 0) {
        file.resize(c.truncateTo);
    }
    const auto r = skin::ReadDibFromBytes(file);
    EXPECT_EQ(r.error, c.expected) << skin::DescribeDibReadError(r.error);
    EXPECT_TRUE(r.blocks.header.empty());
    EXPECT_TRUE(r.blocks.pixels.empty());
}

const MalformedCase kMalformed[] = {
    {"WrongType", With([](BmpLayout& s) { s.type = 0x4142; }), 0, DibReadError::kNotBmp},
    {"ByteSwappedType", With([](BmpLayout& s) { s.type = 0x424D; }), 0, DibReadError::kNotBmp},
    {"Os2Header", With([](BmpLayout& s) { s.infoSize = 12; }), 0, DibReadError::kUnsupportedHeader},
    {"Os2HeaderShortFile", With([](BmpLayout& s) { s.infoSize = 12; }), 30,
     DibReadError::kUnsupportedHeader},
    {"V5Header", With([](BmpLayout& s) { s.infoSize = 124; }), 0, DibReadError::kUnsupportedHeader},
    {"EmptyFile", BmpLayout{}, 1, DibReadError::kTruncatedHeader},
    {"EndsInFileHeader", BmpLayout{}, 10, DibReadError::kTruncatedHeader},
    {"EndsInInfoHeader", BmpLayout{}, 40, DibReadError::kTruncatedHeader},
    {"ZeroWidth", With([](BmpLayout& s) { s.width = 0; }), 0, DibReadError::kBadWidth},
    {"NegativeWidth", With([](BmpLayout& s) {
         s.width = -3;
         s.pixelBytes = 24;
     }),
     0, DibReadError::kBadWidth},
    {"ZeroHeight", With([](BmpLayout& s) {
         s.height = 0;
         s.pixelBytes = 24;
     }),
     0, DibReadError::kBadHeight},
    {"TwoBits", With([](BmpLayout& s) { s.bitCount = 2; }), 0, DibReadError::kBadBitCount},
    {"ZeroBits", With([](BmpLayout& s) {
         s.bitCount = 0;
         s.pixelBytes = 24;
     }),
     0, DibReadError::kBadBitCount},
    {"SixtyFourBits", With([](BmpLayout& s) { s.bitCount = 64; }), 0, DibReadError::kBadBitCount},
    {"Rle8", With([](BmpLayout& s) {
         s.bitCount = 8;
         s.compression = 1;
         s.tableEntries = 256;
     }),
     0, DibReadError::kUnsupportedCompression},
    {"Jpeg", With([](BmpLayout& s) { s.compression = 4; }), 0,
     DibReadError::kUnsupportedCompression},
    {"BitfieldsAt24Bits", With([](BmpLayout& s) { s.compression = 3; }), 0,
     DibReadError::kUnsupportedCompression},
    {"MoreColoursThanEightBitsHold", With([](BmpLayout& s) {
         s.bitCount = 8;
         s.coloursUsed = 257;
         s.tableEntries = 256;
     }),
     0, DibReadError::kBadColourCount},
    {"MoreColoursThanFourBitsHold", With([](BmpLayout& s) {
         s.bitCount = 4;
         s.coloursUsed = 17;
         s.tableEntries = 17;
     }),
     0, DibReadError::kBadColourCount},
    {"HugeColourTableOnTrueColour", With([](BmpLayout& s) { s.coloursUsed = 0x40000000; }), 0,
     DibReadError::kBadColourCount},
    {"PixelOffsetPastTheEnd", With([](BmpLayout& s) {
         s.pixelOffset = 0x7FFFFFF0;
         s.pixelBytes = 0;
     }),
     0, DibReadError::kBadPixelOffset},
    {"PixelOffsetInsideTheHeaders", With([](BmpLayout& s) { s.pixelOffset = 20; }), 0,
     DibReadError::kBadPixelOffset},
    {"HugeSizes", With([](BmpLayout& s) {
         s.width = 0x7FFFFFFF;
         s.height = 0x7FFFFFFF;
         s.pixelBytes = 8;
     }),
     0, DibReadError::kPixelsTooLarge},
    {"HugeTopDown", With([](BmpLayout& s) {
         s.width = 65536;
         s.height = INT32_MIN;
         s.pixelBytes = 8;
     }),
     0, DibReadError::kPixelsTooLarge},
    {"RowsLargerThanTheFile", With([](BmpLayout& s) {
         s.width = 4000;
         s.height = 4000;
         s.pixelBytes = 100;
     }),
     0, DibReadError::kPixelsTruncated},
    {"LastRowCutShort", BmpLayout{}, 54 + 23, DibReadError::kPixelsTruncated},
    {"FileSizeFieldLies", With([](BmpLayout& s) { s.fileSizeField = 0x7FFFFFFF; }), 54 + 20,
     DibReadError::kPixelsTruncated},
};

INSTANTIATE_TEST_SUITE_P(Files, ReadDibMalformed, ::testing::ValuesIn(kMalformed),
                         [](const auto& p) { return std::string(p.param.name); });

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File TempFileWith(const std::vector<uint8_t>& bytes) {
    File f(std::tmpfile());
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f.get());
        std::rewind(f.get());
    }
    return f;
}

TEST(ReadDibFromFile, ReadsAnImageEmbeddedInALargerFileFromItsFileHeader) {
    BmpLayout s;
    s.width = 7;
    s.height = 3;
    s.bitCount = 4;
    s.tableEntries = 16;
    const auto bmp = BuildBmp(s);
    // 300 bytes of something else before the image and 500 after it.
    std::vector<uint8_t> container(300 + bmp.size() + 500, 0x3C);
    std::fill_n(container.begin(), 300, 0xC3);
    std::copy(bmp.begin(), bmp.end(), container.begin() + 300);
    const File f = TempFileWith(container);
    ASSERT_TRUE(f);
    ASSERT_EQ(std::fseek(f.get(), 300, SEEK_SET), 0);

    const auto r = skin::ReadDibFromFile(f.get());
    ASSERT_TRUE(r.ok()) << skin::DescribeDibReadError(r.error);
    EXPECT_EQ(skin::DecodeDibInfoHeader(r.blocks.header).width, 7);
    ASSERT_EQ(r.blocks.pixels.size(), 12u);  // 3 rows of 4 bytes
    EXPECT_TRUE(std::equal(r.blocks.pixels.begin(), r.blocks.pixels.end(), bmp.begin() + 54 + 64));
    EXPECT_EQ(skin::DibPaletteColours(r.blocks.header).size(), 16u);
}

TEST(ReadDibFromFile, MeasuresTheFileNotTheHeaderBeforeReadingRows) {
    BmpLayout s;
    s.width = 40;
    s.height = 40;
    auto bmp = BuildBmp(s);
    bmp.resize(bmp.size() - 1);  // one byte of the top row missing
    const File f = TempFileWith(bmp);
    ASSERT_TRUE(f);
    EXPECT_EQ(skin::ReadDibFromFile(f.get()).error, DibReadError::kPixelsTruncated);
}

TEST(ReadDibFromFile, RefusesANullFile) {
    EXPECT_EQ(skin::ReadDibFromFile(nullptr).error, DibReadError::kReadFailed);
}

}  // namespace
