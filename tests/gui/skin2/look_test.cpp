#include <gtest/gtest.h>
#include <windows.h>

#include "controls_dialog.h"
#include "framework/memory_dc.h"
#include "framework/scoped_select_object.h"
#include "look_wizard.h"
#include "skin/image_button.h"
#include "skin/wizard_colours.h"
#include "tests/support/test_address.h"

namespace corvane::test {
namespace {

// The heading's colour as its label holds it and as its pixels show it.
void ExpectHeadingIn(LookWizard& wizard, COLORREF colour,
                     const std::unique_ptr<PixelCanvas>& canvas) {
    EXPECT_EQ(wizard.Title().GetTextColour(), colour);
    EXPECT_GT(CountColour(*canvas, colour), 0) << "heading pixels";
    for (COLORREF other : {CLR_WIZARD_TEXT, CLR_WIZARD_HOVER, CLR_WIZARD_SUCCESS}) {
        if (other != colour) {
            EXPECT_EQ(CountColour(*canvas, other), 0) << std::hex << other;
        }
    }
}

// Pixel (x, y) of bitmap resource `id` of the program.
class ResourcePicture {
public:
    explicit ResourcePicture(UINT id) : bitmap_(LoadTestBitmap(id)), select_(dc_, bitmap_.get()) {
        BITMAP description{};
        ::GetObjectA(bitmap_.get(), sizeof(description), &description);
        width = description.bmWidth;
        height = description.bmHeight;
    }

    COLORREF At(int x, int y) const { return dc_.GetPixel(x, y); }
    int width = 0;
    int height = 0;

private:
    UniqueGdiObject bitmap_;
    CMemoryDC dc_;
    ScopedSelectObject select_;
};

// The button shows picture `pictureId` at its place (left or right, centred down), its
// own pixels as they are and its key-coloured surroundings as the tiled backdrop beneath.
void ExpectPicture(HWND dialog, HWND button, UINT pictureId, bool rightAligned) {
    const ResourcePicture picture(pictureId);
    const ResourcePicture backdrop(IDB_BACKGROUND);
    ASSERT_GT(picture.width, 0);
    CRect client;
    ::GetClientRect(button, &client);
    PixelCanvas canvas(client.Width(), client.Height());
    Snapshot(button, canvas);
    CRect area;
    ::GetWindowRect(button, &area);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    const int left = rightAligned ? client.right - 3 - picture.width : 3;
    const int top = (client.Height() - picture.height) / 2;
    int own = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            // A picture taller than the button is cut at its top and bottom.
            if (top + y < 0 || top + y >= canvas.height() || left + x < 0 ||
                left + x >= canvas.width()) {
                continue;
            }
            const COLORREF pixel = picture.At(x, y);
            const bool key = pixel == IMAGE_KEY_COLOUR;
            own += key ? 0 : 1;
            const COLORREF expected = key ? backdrop.At((area.left + left + x) % backdrop.width,
                                                        (area.top + top + y) % backdrop.height)
                                          : pixel;
            ASSERT_EQ(canvas.At(left + x, top + y), expected)
                << "picture " << pictureId << " pixel " << x << "," << y;
        }
    }
    EXPECT_GT(own, 100) << "the picture has a disc";
}

TEST_F(LookTest, ButtonsShowTheirPicturesForTheirStateOverTheBackdrop) {
    HWND dialog = wizard.GetSafeHwnd();
    ExpectPicture(dialog, Item(IDC_CANCEL), IDB_CANCEL, false);
    ExpectPicture(dialog, Item(IDC_NEXT), IDB_NEXT, true);
    ExpectPicture(dialog, Item(IDC_BACK), IDB_BACK_DISABLED, false);

    MovePointerTo(CentreOf(Item(IDC_NEXT)));
    ASSERT_TRUE(PumpUntil([&] { return wizard.Next().IsHover() != FALSE; }));
    ExpectPicture(dialog, Item(IDC_NEXT), IDB_NEXT_ACTIVE, true);
    MovePointerTo(CentreOf(Item(IDC_CANCEL)));
    ASSERT_TRUE(PumpUntil([&] { return wizard.Next().IsHover() == FALSE; }));
    ExpectPicture(dialog, Item(IDC_NEXT), IDB_NEXT, true);
    ExpectPicture(dialog, Item(IDC_CANCEL), IDB_CANCEL_ACTIVE, false);
}

TEST_F(LookTest, VersionReads3300InTheWizardTextColourFromTheFirstPaint) {
    EXPECT_EQ(wizard.Version().GetWindowText(), "3.300");
    EXPECT_EQ(wizard.Version().GetTextColour(), CLR_WIZARD_TEXT);
    // What the first paint left, without painting again.
    const auto shown = Shown(IDC_VERSION);
    EXPECT_GT(CountColour(*shown, CLR_WIZARD_TEXT), 0);
    EXPECT_GT(CountColour(*Shown(IDC_VERSION_CAPTION), CLR_WIZARD_TEXT), 0);
}

TEST_F(LookTest, InstructionIsEightPointRegularAfterBackToThePageOneWithoutARun) {
    TickAllAndGoOn();
    Click(IDC_BACK);
    PumpPending();
    ASSERT_EQ(wizard.Page(), CKestrupDlg::PAGE_REQUIREMENTS);
    EXPECT_EQ(wizard.Instruction().GetLogFont().lfHeight, HeightOf(8));
    EXPECT_EQ(wizard.Instruction().GetLogFont().lfWeight, FW_NORMAL);
    EXPECT_TRUE(wizard.Instruction().IsWindowVisible());
    EXPECT_GT(CountColour(*Shown(IDC_INSTRUCTION), CLR_WIZARD_TEXT), 0);
}

TEST_F(LookTest, SuccessfulRunPagesAndTheirHeadingColours) {
    StartInstrument();
    SaveScreenshot("success-1-requirements");
    ExpectHeadingIn(wizard, CLR_WIZARD_TEXT, Shown(IDC_TITLE));
    // A disabled button shows its own picture: Back at rest on page 1.
    EXPECT_FALSE(wizard.Back().IsWindowEnabled());
    EXPECT_TRUE(wizard.Back().HasImage(2));

    TickAllAndGoOn();
    TypeAddress(TestOctets());
    SaveScreenshot("success-2-address");
    ExpectHeadingIn(wizard, CLR_WIZARD_TEXT, Shown(IDC_TITLE));

    bool sawRunning = false;
    wizard.onStep = [&](LookWizard& running, int step) {
        if (step != 20 || sawRunning) {
            return;
        }
        sawRunning = true;
        SaveScreenshot("success-3-running");
        EXPECT_EQ(running.Instruction().GetLogFont().lfHeight, HeightOf(12));
        EXPECT_EQ(running.Instruction().GetLogFont().lfWeight, FW_BOLD);
        EXPECT_TRUE(running.Instruction().IsWindowVisible());
        ExpectHeadingIn(running, CLR_WIZARD_TEXT, Shown(IDC_TITLE));
    };
    Click(IDC_NEXT);
    ASSERT_EQ(wizard.Page(), CKestrupDlg::PAGE_RESULT);
    EXPECT_TRUE(sawRunning);
    EXPECT_EQ(wizard.Title().GetWindowText(), "Update Process finished");
    PumpPending();
    SaveScreenshot("success-4-finished");
    ExpectHeadingIn(wizard, CLR_WIZARD_SUCCESS, Shown(IDC_TITLE));

    // The pointer over Finish: its active picture and the caption in the hover colour.
    MovePointerTo(CentreOf(Item(IDC_NEXT)));
    ASSERT_TRUE(PumpUntil([&] { return wizard.Next().IsHover() != FALSE; }));
    PumpPending();
    EXPECT_GT(CountColour(*Shown(IDC_NEXT), CLR_WIZARD_HOVER), 0);
    SaveScreenshot("success-5-finished-pointer-over-finish");
}

TEST_F(LookTest, FailedRunShowsTheHeadingInTheHoverColourUntilBack) {
    // Nothing answers at this address: the run fails at its first connection.
    TickAllAndGoOn();
    TypeAddress(TestOctets(1));
    SaveScreenshot("failure-1-address");
    Click(IDC_NEXT);
    ASSERT_EQ(wizard.Page(), CKestrupDlg::PAGE_RESULT);
    EXPECT_EQ(wizard.Title().GetWindowText(), "Update Process failed...");
    PumpPending();
    SaveScreenshot("failure-2-failed");
    ExpectHeadingIn(wizard, CLR_WIZARD_HOVER, Shown(IDC_TITLE));
    // The reason stands in the main text, and Back shows its normal picture.
    EXPECT_GT(CountColour(*Shown(IDC_MESSAGE), CLR_WIZARD_TEXT), 0);
    ExpectPicture(wizard.GetSafeHwnd(), Item(IDC_BACK), IDB_BACK, false);

    Click(IDC_BACK);
    PumpPending();
    ASSERT_EQ(wizard.Page(), CKestrupDlg::PAGE_ADDRESS);
    SaveScreenshot("failure-3-back-to-address");
    ExpectHeadingIn(wizard, CLR_WIZARD_TEXT, Shown(IDC_TITLE));
}

}  // namespace
}  // namespace corvane::test
