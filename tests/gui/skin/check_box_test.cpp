#include <gtest/gtest.h>
#include <windows.h>

#include "tests/gui/gui_support/pixel_canvas.h"
#include "skin/wizard_colours.h"
#include "skin_test_dialogs.h"

namespace {

LRESULT AskColours(CWnd& target, PixelCanvas& canvas, HWND control) {
    return target.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.hdc()),
                              reinterpret_cast<LPARAM>(control));
}

TEST(TCheckBox, AnswersTheReflectedRequestWithItsTextColourOverAHollowBrush) {
    WizardLikeDialog dialog;
    ASSERT_TRUE(dialog.Open(400, 200));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_BACKDROP, BITMAP_TILE));
    ASSERT_EQ(dialog.m_chkTest.GetSafeHwnd(), dialog.Item(IDC_TEST_CHECK));
    PixelCanvas canvas(4, 4);
    ::SetBkMode(canvas.hdc(), OPAQUE);

    const LRESULT brush = AskColours(dialog, canvas, dialog.m_chkTest.GetSafeHwnd());
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), ::GetStockObject(NULL_BRUSH));
    EXPECT_EQ(::GetTextColor(canvas.hdc()), CLR_WIZARD_TEXT);  // before the owner sets one
    EXPECT_EQ(::GetBkMode(canvas.hdc()), TRANSPARENT);

    dialog.m_chkTest.m_crText = RGB(10, 200, 30);
    AskColours(dialog, canvas, dialog.m_chkTest.GetSafeHwnd());
    EXPECT_EQ(::GetTextColor(canvas.hdc()), RGB(10, 200, 30));
}

TEST(TCheckBox, AParentThatAnswersItselfBypassesTheBox) {
    TestSkinDialog dialog;  // keeps the bitmap dialog's own colour entry
    ASSERT_TRUE(dialog.Open(400, 200));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_BACKDROP, BITMAP_TILE));
    dialog.m_chkTest.m_crText = RGB(10, 200, 30);
    PixelCanvas canvas(4, 4);
    ::SetTextColor(canvas.hdc(), RGB(9, 8, 7));
    AskColours(dialog, canvas, dialog.m_chkTest.GetSafeHwnd());
    EXPECT_EQ(::GetTextColor(canvas.hdc()), RGB(9, 8, 7));
}

TEST(TCheckBox, ARequestSentToTheBoxItselfGetsItsTextColour) {
    WizardLikeDialog dialog;
    ASSERT_TRUE(dialog.Open(400, 200));
    dialog.m_chkTest.m_crText = RGB(70, 80, 90);
    PixelCanvas canvas(4, 4);
    AskColours(dialog.m_chkTest, canvas, dialog.m_chkTest.GetSafeHwnd());
    EXPECT_EQ(::GetTextColor(canvas.hdc()), RGB(70, 80, 90));
}

TEST(TCheckBox, ErasingErasesNothing) {
    WizardLikeDialog dialog;
    ASSERT_TRUE(dialog.Open(400, 200));
    PixelCanvas canvas(30, 30);
    canvas.Fill(RGB(1, 2, 3));
    EXPECT_EQ(dialog.m_chkTest.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.hdc())),
              TRUE);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            ASSERT_EQ(canvas.At(x, y), RGB(1, 2, 3));
        }
    }
}

// The box as the user sees it: painted by the window system over the tiled backdrop.
TEST(TCheckBox, ShowsTheBackdropAroundAndBehindItsLightText) {
    WizardLikeDialog dialog;
    ASSERT_TRUE(dialog.Open(609, 494));
    ASSERT_TRUE(dialog.SetBackgroundBitmap(IDB_TEST_BACKDROP, BITMAP_TILE));
    dialog.m_chkTest.m_crText = CLR_WIZARD_TEXT;
    dialog.ShowWindow(SW_SHOWNA);
    dialog.RedrawWindow(nullptr, nullptr,
                        RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);

    CRect box;
    dialog.m_chkTest.GetWindowRect(&box);
    dialog.ScreenToClient(&box);
    ASSERT_GT(box.Width(), 40);

    PixelCanvas backdrop(609, 494);
    dialog.EraseInto(backdrop);
    PixelCanvas shown(609, 494);
    {
        const HDC windowDc = ::GetDC(dialog.GetSafeHwnd());
        ASSERT_TRUE(shown.CopyFrom(windowDc, 0, 0));
        ::ReleaseDC(dialog.GetSafeHwnd(), windowDc);
    }

    // Right of the tick square (at most 16 pixels wide plus a gap) only text may differ.
    int same = 0;
    int text = 0;
    int other = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left + 20; x < box.right; ++x) {
            const COLORREF seen = shown.At(x, y);
            if (seen == backdrop.At(x, y)) {
                ++same;
            } else if (seen == CLR_WIZARD_TEXT) {
                ++text;
            } else {
                ++other;
            }
        }
    }
    const int total = same + text + other;
    EXPECT_GT(text, 20) << "no pixel in the text colour";
    EXPECT_GT(same, total * 6 / 10) << same << " of " << total << " show the backdrop";
    // Edge pixels of smoothed glyphs lie between backdrop and text colour; an opaque fill
    // would make most pixels differ from the backdrop.
    EXPECT_LT(other, total / 4);

    // Between the top of the box and its first line, nothing is painted at all.
    for (int x = box.left; x < box.right; ++x) {
        ASSERT_EQ(shown.At(x, box.top), backdrop.At(x, box.top)) << "at x " << x;
    }
}

}  // namespace
