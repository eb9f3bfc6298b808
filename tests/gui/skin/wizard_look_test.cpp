// The wizard dialog wearing its skin: the tiled backdrop and the light requirement boxes.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdio>
#include <memory>

#include "app/kestrup_dlg.h"
#include "tests/gui/gui_support/pixel_canvas.h"
#include "resources/resource.h"
#include "skin/portable/dib_file_reader.h"
#include "skin/wizard_colours.h"

namespace {

class SkinnedWizard : public CKestrupDlg {
public:
    ~SkinnedWizard() override {
        if (m_hWnd != nullptr) {
            DestroyWindow();
        }
    }
    using CBitmapDialog::GetBackground;
    TCheckBox& Box(int i) {
        TCheckBox* boxes[] = {&m_chkConnected, &m_chkProgramsClosed, &m_chkNoPowerDown};
        return *boxes[i];
    }
};

class WizardLookTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
        ::InitCommonControlsEx(&controls);
        ASSERT_TRUE(wizard.Create());
        wizard.GetClientRect(&client);
    }

    SkinnedWizard wizard;
    CRect client;
};

// The backdrop's pixels read from the committed file, without the window system.
struct Backdrop {
    skin::DibBlocks blocks;
    int width = 0;
    int height = 0;

    bool Load() {
        std::FILE* file = std::fopen(CORVANE_BACKDROP_BMP, "rb");
        if (file == nullptr) {
            return false;
        }
        skin::DibReadResult read = skin::ReadDibFromFile(file);
        std::fclose(file);
        if (!read.ok()) {
            return false;
        }
        blocks = std::move(read.blocks);
        const auto info = skin::DecodeDibInfoHeader(blocks.header);
        width = info.width;
        height = info.height;
        return info.bitCount == 24 && height > 0;
    }
    COLORREF At(int x, int y) const {
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
        const size_t at = static_cast<size_t>(height - 1 - y) * stride + 3 * static_cast<size_t>(x);
        return RGB(blocks.pixels[at + 2], blocks.pixels[at + 1], blocks.pixels[at]);
    }
};

TEST_F(WizardLookTest, TilesItsTrueColourBackdropFromTheFirstPaint) {
    const CDIBitmap& background = wizard.GetBackground();
    ASSERT_TRUE(background.HasPicture());
    EXPECT_EQ(background.GetWidth(), 609);
    EXPECT_EQ(background.GetHeight(), 536);
    EXPECT_EQ(background.GetBitCount(), 24);
    EXPECT_EQ(background.GetPalette(), nullptr);
    EXPECT_EQ(wizard.GetDrawMode(), BITMAP_TILE);

    Backdrop file;
    ASSERT_TRUE(file.Load());
    PixelCanvas canvas(client.Width(), client.Height());
    wizard.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.hdc()));
    const std::array<POINT, 6> points{{{0, 0},
                                       {120, 90},   // the product name on the left panel
                                       {60, 260},   // the chromatogram
                                       {400, 150},  // under the heading
                                       {client.Width() - 1, client.Height() - 1},
                                       {300, 400}}};
    for (const POINT p : points) {
        EXPECT_EQ(canvas.At(p.x, p.y), file.At(p.x % file.width, p.y % file.height))
            << "at " << p.x << "," << p.y;
    }
}

TEST_F(WizardLookTest, RequirementBoxesAnswerWithLightTextOverAHollowBrush) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(wizard.Box(i).m_crText, CLR_WIZARD_TEXT);
        PixelCanvas canvas(2, 2);
        ::SetBkMode(canvas.hdc(), OPAQUE);
        const auto brush = reinterpret_cast<HGDIOBJ>(
            wizard.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.hdc()),
                               reinterpret_cast<LPARAM>(wizard.Box(i).GetSafeHwnd())));
        EXPECT_EQ(brush, ::GetStockObject(NULL_BRUSH)) << "box " << i;
        EXPECT_EQ(::GetTextColor(canvas.hdc()), RGB(240, 240, 240)) << "box " << i;
        EXPECT_EQ(::GetBkMode(canvas.hdc()), TRANSPARENT) << "box " << i;
    }
}

TEST_F(WizardLookTest, ABoxOnScreenShowsTheBackdropBehindItsText) {
    wizard.ShowWindow(SW_SHOWNA);
    wizard.RedrawWindow(nullptr, nullptr,
                        RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PixelCanvas backdrop(client.Width(), client.Height());
    wizard.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(backdrop.hdc()));
    PixelCanvas shown(client.Width(), client.Height());
    const HDC windowDc = ::GetDC(wizard.GetSafeHwnd());
    ASSERT_TRUE(shown.CopyFrom(windowDc, 0, 0));
    ::ReleaseDC(wizard.GetSafeHwnd(), windowDc);

    for (int i : {0, 2}) {  // the middle box lies partly under the introduction text
        CRect box;
        wizard.Box(i).GetWindowRect(&box);
        wizard.ScreenToClient(&box);
        int same = 0;
        int text = 0;
        int total = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left + 20; x < box.right; ++x) {
                ++total;
                same += shown.At(x, y) == backdrop.At(x, y);
                text += shown.At(x, y) == CLR_WIZARD_TEXT;
            }
        }
        EXPECT_GT(text, 20) << "box " << i;
        EXPECT_GT(same, total / 2) << "box " << i;
    }
}

}  // namespace
