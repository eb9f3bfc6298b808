#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/gui/gui_support/pixel_canvas.h"
#include "skin/bmp_palette.h"
#include "skin/dib_bitmap.h"
#include "tests/gui/pictures/test_resources.h"
#include "tests/unit/skin/bmp_builder.h"

namespace {

constexpr COLORREF kSentinel = RGB(1, 2, 3);

COLORREF PatternAt(int x, int y) {
    return RGB(5 * x, 6 * y, 77);
}

// A file in the temporary folder, removed when the test ends.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes) {
        char dir[MAX_PATH] = {};
        char name[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, dir);
        ::GetTempFileNameA(dir, "dib", 0, name);
        path_ = name;
        if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { ::DeleteFileA(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

struct DepthCase {
    UINT id;
    int sourceBits;
    int bitCount;
    size_t tableSize;
    DWORD sizeImage;  // from the source's rows: 8 pixels of sourceBits, padded to 4 bytes, x 4
};

class DibFromResource : public ::testing::TestWithParam<DepthCase> {};

TEST_P(DibFromResource, BecomesAPictureOfTheRightDepthTableAndPaletteWithItsPixels) {
    const auto c = GetParam();
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(c.id));
    EXPECT_EQ(picture.GetWidth(), 8);
    EXPECT_EQ(picture.GetHeight(), 4);
    EXPECT_EQ(picture.GetBitCount(), c.bitCount);
    EXPECT_EQ(picture.GetColourTableSize(), c.tableSize);
    EXPECT_EQ(picture.GetBitmapInfo()->bmiHeader.biSizeImage, c.sizeImage);
    if (c.tableSize == 0) {
        EXPECT_EQ(picture.GetPalette(), nullptr);
    } else {
        ASSERT_NE(picture.GetPalette(), nullptr);
        EXPECT_EQ(static_cast<size_t>(picture.GetPalette()->GetEntryCount()), c.tableSize);
    }

    PixelCanvas canvas(8, 4);
    canvas.Fill(kSentinel);
    picture.Draw(&canvas.dc(), 0, 0);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            COLORREF expected;
            int tolerance = 0;
            if (c.sourceBits == 1) {
                expected = (x + 2 * y) % 2 == 0 ? RGB(0, 0, 0) : RGB(255, 255, 255);
            } else if (c.sourceBits <= 8) {
                const int i = (x + 2 * y) % (1 << c.sourceBits);
                expected = RGB(i, 255 - i, (7 * i) % 256);
            } else {
                expected = RGB(30 * x, 60 * y, 200);
                tolerance = c.sourceBits == 16 ? 8 : 0;  // 5 bits per channel
            }
            ASSERT_TRUE(ColoursNear(canvas.At(x, y), expected, tolerance))
                << "pixel " << x << "," << y << " is " << std::hex << canvas.At(x, y);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DibFromResource,
                         ::testing::Values(DepthCase{IDB_TEST_DEPTH1, 1, 1, 2, 16},
                                           DepthCase{IDB_TEST_DEPTH4, 4, 4, 16, 16},
                                           DepthCase{IDB_TEST_DEPTH8, 8, 8, 256, 32},
                                           DepthCase{IDB_TEST_DEPTH16, 16, 24, 0, 64},
                                           DepthCase{IDB_TEST_DEPTH24, 24, 24, 0, 96},
                                           DepthCase{IDB_TEST_DEPTH32, 32, 24, 0, 128}));

struct FileCase {
    uint16_t bits;
    uint32_t coloursUsed;
    uint32_t tableEntries;
    int paletteEntries;  // 0: no palette
};

class DibFromFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(DibFromFile, TakesItsPaletteSizeFromTheColoursUsedField) {
    const auto c = GetParam();
    skin::test::BmpLayout layout;
    layout.width = 6;
    layout.height = 3;
    layout.bitCount = c.bits;
    layout.coloursUsed = c.coloursUsed;
    layout.tableEntries = c.tableEntries;
    const TempFile file(skin::test::BuildBmp(layout));
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromFile(file.path()));
    EXPECT_EQ(picture.GetHeaderBlock().size(), 1064u);
    EXPECT_EQ(picture.GetBitCount(), c.bits);
    if (c.paletteEntries == 0) {
        EXPECT_EQ(picture.GetPalette(), nullptr);
    } else {
        ASSERT_NE(picture.GetPalette(), nullptr);
        EXPECT_EQ(picture.GetPalette()->GetEntryCount(), c.paletteEntries);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DibFromFile,
                         ::testing::Values(FileCase{8, 0, 256, 256}, FileCase{8, 16, 16, 16},
                                           FileCase{4, 0, 16, 16}, FileCase{24, 0, 0, 0}));

TEST(CDIBitmap, ASourceThatCannotBeOpenedLeavesTheEarlierPictureButABadFileEmptiesIt) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_PATTERN));
    const std::vector<uint8_t> pixels = picture.GetPixelBlock();

    EXPECT_FALSE(picture.LoadFromResource(IDB_TEST_MISSING));
    EXPECT_FALSE(picture.LoadFromFile("C:\\no such folder\\backdrop.bmp"));
    EXPECT_FALSE(picture.LoadFromFile(nullptr));
    EXPECT_EQ(picture.GetWidth(), 50);
    EXPECT_EQ(picture.GetHeight(), 40);
    EXPECT_EQ(picture.GetPixelBlock(), pixels);

    skin::test::BmpLayout os2;
    os2.infoSize = 12;
    const TempFile bad(skin::test::BuildBmp(os2));
    EXPECT_FALSE(picture.LoadFromFile(bad.path()));
    EXPECT_FALSE(picture.HasPicture());
    EXPECT_EQ(picture.GetBitmapInfo(), nullptr);
    EXPECT_EQ(picture.GetWidth(), 0);

    PixelCanvas canvas(10, 10);
    canvas.Fill(kSentinel);
    picture.Draw(&canvas.dc(), 0, 0);
    EXPECT_EQ(picture.PaintRect(&canvas.dc(), RECT{0, 0, 5, 5}, RECT{0, 0, 5, 5}), 0);
    EXPECT_EQ(canvas.At(0, 0), kSentinel);
}

TEST(CDIBitmap, AFailedLoadDropsThePaletteOfTheEarlierPicture) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_DEPTH8));
    ASSERT_NE(picture.GetPalette(), nullptr);
    skin::test::BmpLayout wrongType;
    wrongType.type = 0x4D5A;  // "MZ": a program, not a picture
    const TempFile bad(skin::test::BuildBmp(wrongType));
    EXPECT_FALSE(picture.LoadFromFile(bad.path()));
    EXPECT_EQ(picture.GetPalette(), nullptr);
}

// Every canvas pixel inside [x, x + w) x [y, y + h) must match `inside`, every other one
// must still be the sentinel.
template <typename Inside>
void ExpectOnlyRectChanged(const PixelCanvas& canvas, int x, int y, int w, int h, Inside inside) {
    for (int cy = 0; cy < canvas.height(); ++cy) {
        for (int cx = 0; cx < canvas.width(); ++cx) {
            const bool in = cx >= x && cx < x + w && cy >= y && cy < y + h;
            const COLORREF expected = in ? inside(cx - x, cy - y) : kSentinel;
            ASSERT_EQ(canvas.At(cx, cy), expected) << "at " << cx << "," << cy;
        }
    }
}

TEST(CDIBitmap, DrawPaintsExactlyItsOwnRectangle) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_PATTERN));
    PixelCanvas canvas(80, 70);
    canvas.Fill(kSentinel);
    picture.Draw(&canvas.dc(), 7, 9);
    ExpectOnlyRectChanged(canvas, 7, 9, 50, 40, PatternAt);

    canvas.Fill(kSentinel);
    picture.Draw(&canvas.dc(), -3, -4);  // cropped by the DC's edges
    ExpectOnlyRectChanged(canvas, 0, 0, 47, 36,
                          [](int x, int y) { return PatternAt(x + 3, y + 4); });
}

TEST(CDIBitmap, DrawStretchedScalesTheWholePictureIntoTheRectangle) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_PATTERN));
    PixelCanvas canvas(110, 90);
    canvas.Fill(kSentinel);
    picture.DrawStretched(&canvas.dc(), 5, 3, 100, 80);
    ExpectOnlyRectChanged(canvas, 5, 3, 100, 80,
                          [](int x, int y) { return PatternAt(x / 2, y / 2); });
}

TEST(CDIBitmap, PaintRectCopiesTheSourceRegionCountedFromTheTop) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_PATTERN));
    PixelCanvas canvas(80, 70);
    canvas.Fill(kSentinel);
    const int lines = picture.PaintRect(&canvas.dc(), RECT{40, 30, 60, 50}, RECT{10, 5, 30, 25});
    EXPECT_GT(lines, 0);
    ExpectOnlyRectChanged(canvas, 40, 30, 20, 20,
                          [](int x, int y) { return PatternAt(10 + x, 5 + y); });
}

TEST(CDIBitmap, ATopDownPictureFromAFileIsDrawnUpright) {
    skin::test::BmpLayout layout;
    layout.width = 2;
    layout.height = -3;
    const auto bytes = skin::test::BuildBmp(layout);
    const TempFile file(bytes);
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromFile(file.path()));
    EXPECT_EQ(picture.GetHeight(), -3);
    PixelCanvas canvas(4, 5);
    canvas.Fill(kSentinel);
    picture.Draw(&canvas.dc(), 0, 0);
    // The file's first row is the top one: its first pixel is blue, green, red at offset 54.
    EXPECT_EQ(canvas.At(0, 0), RGB(bytes[56], bytes[55], bytes[54]));
    EXPECT_NE(canvas.At(1, 2), kSentinel);
    EXPECT_EQ(canvas.At(0, 3), kSentinel);
    EXPECT_EQ(canvas.At(2, 0), kSentinel);
}

TEST(CDIBitmap, OnlyAPalettePictureTouchesTheStretchModeAndItPutsThePaletteBack) {
    CDIBitmap trueColour;
    CDIBitmap palettePicture;
    ASSERT_TRUE(trueColour.LoadFromResource(IDB_TEST_DEPTH24));
    ASSERT_TRUE(palettePicture.LoadFromResource(IDB_TEST_DEPTH8));
    PixelCanvas canvas(8, 4);
    const HGDIOBJ paletteBefore = ::GetCurrentObject(canvas.hdc(), OBJ_PAL);

    ::SetStretchBltMode(canvas.hdc(), HALFTONE);
    trueColour.Draw(&canvas.dc(), 0, 0);
    EXPECT_EQ(::GetStretchBltMode(canvas.hdc()), HALFTONE);

    palettePicture.Draw(&canvas.dc(), 0, 0);
    EXPECT_EQ(::GetStretchBltMode(canvas.hdc()), COLORONCOLOR);
    EXPECT_EQ(::GetCurrentObject(canvas.hdc(), OBJ_PAL), paletteBefore);
}

TEST(CDIBitmap, CreateFromBitmapLeavesTheCallersBitmapAlive) {
    const HBITMAP source = static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TEST_PATTERN), IMAGE_BITMAP,
                     0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(source, nullptr);
    CDIBitmap picture;
    EXPECT_TRUE(picture.CreateFromBitmap(nullptr, source));
    EXPECT_EQ(picture.GetWidth(), 50);
    BITMAP description{};
    EXPECT_NE(::GetObjectA(source, sizeof(description), &description), 0);
    ::DeleteObject(source);
    EXPECT_FALSE(picture.CreateFromBitmap(nullptr, static_cast<HBITMAP>(nullptr)));
    EXPECT_EQ(picture.GetWidth(), 50);  // nothing to convert: the picture stays
}

}  // namespace

namespace {

DWORD GdiObjects() {
    return ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
}

bool SystemCountsGdiObjects() {
    const DWORD idle = GdiObjects();
    std::vector<HBRUSH> probes;
    for (int i = 0; i < 20; ++i) {
        probes.push_back(::CreateSolidBrush(RGB(i, 0, 0)));
    }
    const bool counting = GdiObjects() >= idle + 20;
    for (HBRUSH b : probes) {
        ::DeleteObject(b);
    }
    return counting;
}

// Each load makes a bitmap (and, for a palette picture, a palette) and takes the desktop's
// DC; none of them may stay behind.
TEST(CDIBitmap, RepeatedLoadsGiveBackEveryBitmapPaletteAndDc) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_DEPTH8));
    if (SystemCountsGdiObjects()) {
        const DWORD before = GdiObjects();
        for (int i = 0; i < 300; ++i) {
            ASSERT_TRUE(picture.LoadFromResource(i % 2 == 0 ? IDB_TEST_DEPTH4 : IDB_TEST_DEPTH8));
        }
        EXPECT_LE(GdiObjects(), before + 2);
        return;
    }
    // Without a counter (Wine): fill the process's GDI handle table up to a few hundred free
    // places, so that a leak of one object per load runs out long before the last load.
    std::vector<HBRUSH> ballast;
    for (HBRUSH b; (b = ::CreateSolidBrush(RGB(1, 2, 3))) != nullptr;) {
        ballast.push_back(b);
    }
    for (int i = 0; i < 300 && !ballast.empty(); ++i) {
        ::DeleteObject(ballast.back());
        ballast.pop_back();
    }
    int loaded = 0;
    while (loaded < 1000 && picture.LoadFromResource(IDB_TEST_DEPTH8)) {
        ++loaded;
    }
    for (HBRUSH b : ballast) {
        ::DeleteObject(b);
    }
    EXPECT_EQ(loaded, 1000);
}

}  // namespace
