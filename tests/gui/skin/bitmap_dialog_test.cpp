#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/gui/gui_support/pixel_canvas.h"
#include "skin_test_dialogs.h"
#include "tests/unit/skin/bmp_builder.h"

namespace {

constexpr COLORREF kSentinel = RGB(1, 2, 3);

COLORREF PatternAt(int x, int y) {
    return RGB(5 * x, 6 * y, 77);
}

enum class Clip { kToClient, kNone };

// Erases a dialog of `clientWidth` x `clientHeight` into a larger canvas and checks every
// pixel: inside the client area against `inside`, outside it untouched. Clipped like the
// window's own DC, or not at all, which shows anything drawn past the client area.
template <typename Inside>
void ExpectErase(TestSkinDialog& dialog, int clientWidth, int clientHeight, Inside inside,
                 Clip clip = Clip::kToClient) {
    PixelCanvas canvas(clientWidth + 40, clientHeight + 30);
    canvas.Fill(kSentinel);
    if (clip == Clip::kToClient) {
        ::IntersectClipRect(canvas.hdc(), 0, 0, clientWidth, clientHeight);
    }
    EXPECT_EQ(dialog.EraseInto(canvas), TRUE);
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const bool in = x < clientWidth && y < clientHeight;
            ASSERT_EQ(canvas.At(x, y), in ? inside(x, y) : kSentinel) << "at " << x << "," << y;
        }
    }
}

TEST(CBitmapDialog, TileModeRepeatsThePictureFromTheTopLeftCorner) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(130, 100));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, BITMAP_TILE));
    ExpectErase(dialog, 130, 100, [](int x, int y) { return PatternAt(x % 50, y % 40); });
}

TEST(CBitmapDialog, AnUnknownModeTilesToo) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(70, 50));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, 7));
    ExpectErase(dialog, 70, 50, [](int x, int y) { return PatternAt(x % 50, y % 40); });
}

TEST(CBitmapDialog, APictureAsLargeAsTheClientAreaIsDrawnOnce) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(50, 40));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, BITMAP_TILE));
    ExpectErase(dialog, 50, 40, PatternAt, Clip::kNone);
}

TEST(CBitmapDialog, CentreModeCropsAnOddExcessEvenly) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(45, 37));  // 5 and 3 pixels narrower than the picture
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, BITMAP_CENTER));
    ExpectErase(dialog, 45, 37, [](int x, int y) { return PatternAt(x + 2, y + 1); });
}

TEST(CBitmapDialog, CentreModeSurroundsASmallerPictureWithTheDialogColour) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(61, 51));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, BITMAP_CENTER));
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    ExpectErase(
        dialog, 61, 51,
        [face](int x, int y) {
            const bool picture = x >= 5 && x < 55 && y >= 5 && y < 45;
            return picture ? PatternAt(x - 5, y - 5) : face;
        },
        Clip::kNone);
}

TEST(CBitmapDialog, StretchModeScalesThePictureToTheClientArea) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(100, 80));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, BITMAP_STRETCH));
    EXPECT_EQ(dialog.GetDrawMode(), BITMAP_STRETCH);
    ExpectErase(
        dialog, 100, 80, [](int x, int y) { return PatternAt(x / 2, y / 2); }, Clip::kNone);
}

TEST(CBitmapDialog, WithoutAPictureItErasesLikeAPlainDialog) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(60, 40));
    EXPECT_FALSE(dialog.SetBackgroundBitmap(IDB_TEST_MISSING, BITMAP_TILE));
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    ExpectErase(dialog, 60, 40, [face](int, int) { return face; });
}

// A BMP file with top-down rows, loaded as the background: 4 x 3 pixels.
class TopDownBackground : public ::testing::Test {
protected:
    void SetUp() override {
        skin::test::BmpLayout layout;
        layout.width = 4;
        layout.height = -3;
        bytes = skin::test::BuildBmp(layout);
        char dir[MAX_PATH] = {};
        char name[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, dir);
        ::GetTempFileNameA(dir, "dib", 0, name);
        if (std::FILE* f = std::fopen(name, "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        ASSERT_TRUE(dialog.Open(20, 10));
        const bool loaded = dialog.GetBackground().LoadFromFile(name);
        ::DeleteFileA(name);
        ASSERT_TRUE(loaded);
    }
    // The file's first row is the top one; its first pixel is blue, green, red at offset 54.
    COLORREF TopLeft() const { return RGB(bytes[56], bytes[55], bytes[54]); }

    std::vector<uint8_t> bytes;
    TestSkinDialog dialog;
};

TEST_F(TopDownBackground, TileModeDrawsItOnceAndTheEraseEnds) {
    PixelCanvas canvas(20, 10);
    canvas.Fill(kSentinel);
    EXPECT_EQ(dialog.EraseInto(canvas), TRUE);
    EXPECT_EQ(canvas.At(0, 0), TopLeft());
    EXPECT_EQ(canvas.At(4, 0), kSentinel);  // no second tile
    EXPECT_EQ(canvas.At(0, 3), kSentinel);
}

TEST_F(TopDownBackground, CentreModeCentresItByItsRealHeight) {
    ASSERT_FALSE(dialog.SetBackgroundBitmap(IDB_TEST_MISSING, BITMAP_CENTER));
    ASSERT_TRUE(dialog.GetBackground().HasPicture());  // a failed load keeps the picture
    PixelCanvas canvas(20, 10);
    canvas.Fill(kSentinel);
    dialog.EraseInto(canvas);
    EXPECT_EQ(canvas.At(8, 3), TopLeft());  // (20 - 4) / 2, (10 - 3) / 2
    EXPECT_EQ(canvas.At(8, 2), ::GetSysColor(COLOR_3DFACE));
}

struct ColourRequest {
    const char* name;
    UINT message;
    int control;  // 0: the dialog itself
    bool transparent;
};

class BitmapDialogColours : public ::testing::TestWithParam<ColourRequest> {};

TEST_P(BitmapDialogColours, StaticsAndButtonsShowThePictureButTrackbarsKeepTheirColours) {
    const auto c = GetParam();
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(100, 100));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, BITMAP_TILE));
    const HWND control = c.control != 0 ? dialog.Item(c.control) : dialog.GetSafeHwnd();
    ASSERT_NE(control, nullptr);
    PixelCanvas canvas(4, 4);
    ::SetBkMode(canvas.hdc(), OPAQUE);
    ::SetTextColor(canvas.hdc(), RGB(9, 8, 7));
    const auto brush = reinterpret_cast<HGDIOBJ>(dialog.SendMessage(
        c.message, reinterpret_cast<WPARAM>(canvas.hdc()), reinterpret_cast<LPARAM>(control)));
    const HGDIOBJ hollow = ::GetStockObject(NULL_BRUSH);
    if (c.transparent) {
        EXPECT_EQ(brush, hollow);
        EXPECT_EQ(::GetBkMode(canvas.hdc()), TRANSPARENT);
        EXPECT_EQ(::GetTextColor(canvas.hdc()), RGB(9, 8, 7));  // left to the control
    } else {
        EXPECT_NE(brush, hollow);
        EXPECT_NE(brush, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BitmapDialogColours,
    ::testing::Values(ColourRequest{"StaticText", WM_CTLCOLORSTATIC, IDC_TEST_TEXT, true},
                      ColourRequest{"CheckBox", WM_CTLCOLORSTATIC, IDC_TEST_CHECK, true},
                      ColourRequest{"Trackbar", WM_CTLCOLORSTATIC, IDC_TEST_TRACKBAR, false},
                      ColourRequest{"Button", WM_CTLCOLORBTN, IDC_TEST_BUTTON, true},
                      ColourRequest{"Edit", WM_CTLCOLOREDIT, IDC_TEST_TEXT, false},
                      ColourRequest{"DialogItself", WM_CTLCOLORDLG, 0, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CBitmapDialog, WithoutAPictureEveryColourRequestGetsTheDefault) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(100, 100));
    PixelCanvas canvas(4, 4);
    const auto brush = reinterpret_cast<HGDIOBJ>(
        dialog.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.hdc()),
                           reinterpret_cast<LPARAM>(dialog.Item(IDC_TEST_TEXT))));
    EXPECT_NE(brush, ::GetStockObject(NULL_BRUSH));
    EXPECT_NE(brush, nullptr);
}

TEST(CBitmapDialog, ATrueColourPictureLeavesThePaletteMessagesToTheDefault) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(100, 100));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_PATTERN, BITMAP_TILE));
    ASSERT_EQ(dialog.GetBackground().GetPalette(), nullptr);
    ::ValidateRect(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.SendMessage(WM_QUERYNEWPALETTE), 0);
    dialog.SendMessage(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(::GetDesktopWindow()));
    EXPECT_FALSE(::GetUpdateRect(dialog.GetSafeHwnd(), nullptr, FALSE));
}

TEST(CBitmapDialog, APaletteChangeByItsOwnChildDoesNotRepaint) {
    TestSkinDialog dialog;
    ASSERT_TRUE(dialog.Open(100, 100));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_DEPTH8, BITMAP_TILE));
    ASSERT_NE(dialog.GetBackground().GetPalette(), nullptr);
    ::ValidateRect(dialog.GetSafeHwnd(), nullptr);
    dialog.SendMessage(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(dialog.Item(IDC_TEST_TEXT)));
    dialog.SendMessage(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(dialog.GetSafeHwnd()));
    EXPECT_FALSE(::GetUpdateRect(dialog.GetSafeHwnd(), nullptr, FALSE));
}

}  // namespace
