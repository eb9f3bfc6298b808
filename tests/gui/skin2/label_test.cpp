#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controls_dialog.h"

namespace corvane::test {
namespace {

constexpr COLORREF kLight = RGB(240, 240, 240);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ParkPointer();
        ASSERT_TRUE(dialog.Open());
    }

    PixelCanvas CanvasFor(int id) const {
        CRect client;
        ::GetClientRect(dialog.Item(id), &client);
        return PixelCanvas(client.Width(), client.Height());
    }

    ControlsDialog dialog;
};

TEST_F(LabelTest, TransparentLabelShowsNoRemainsOfItsOldText) {
    CLabel& label = dialog.m_lblLabel;
    label.SetTransparentPaint(TRUE).SetTextColour(kLight);
    label.SetCaption("WWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    PixelCanvas canvas = CanvasFor(IDC_TEST_LABEL);
    const CPoint origin = dialog.Origin(IDC_TEST_LABEL);
    // What the refresh left on the screen, without painting anything again.
    CopyClient(dialog.Item(IDC_TEST_LABEL), canvas);
    const CRect before = FindColour(canvas, kLight);
    ASSERT_GT(before.right, canvas.width() / 2) << "the long text reaches the right half";

    label.SetCaption("i");
    CopyClient(dialog.Item(IDC_TEST_LABEL), canvas);
    const CRect after = FindColour(canvas, kLight);
    ASSERT_FALSE(after.IsRectEmpty());
    EXPECT_LT(after.right, 12);
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 16; x < canvas.width(); ++x) {
            ASSERT_EQ(canvas.At(x, y), BackdropAt(origin.x + x, origin.y + y)) << x << "," << y;
        }
    }
}

TEST_F(LabelTest, CentreImageStyleCentresOneLineBothWaysAndTwoLinesOnlyAcross) {
    CLabel& label = dialog.m_lblCentred;
    label.SetBackground(kWhite, 0, FALSE).SetTextColour(kBlack);
    PixelCanvas canvas = CanvasFor(IDC_TEST_CENTRED);
    const int width = canvas.width();
    const int height = canvas.height();

    label.SetCaption("Middle");
    CopyClient(dialog.Item(IDC_TEST_CENTRED), canvas);
    const CRect one = FindColour(canvas, kBlack);
    ASSERT_FALSE(one.IsRectEmpty());
    EXPECT_NEAR((one.left + one.right) / 2.0, width / 2.0, 2.0);
    EXPECT_NEAR((one.top + one.bottom) / 2.0, height / 2.0, 3.0);

    label.SetCaption("Upper\r\nLower");
    CopyClient(dialog.Item(IDC_TEST_CENTRED), canvas);
    const CRect two = FindColour(canvas, kBlack);
    ASSERT_FALSE(two.IsRectEmpty());
    EXPECT_NEAR((two.left + two.right) / 2.0, width / 2.0, 2.0);
    EXPECT_LT(two.top, 4) << "starts at the top, not centred down";
    EXPECT_GT(two.Height(), 3 * one.Height() / 2) << "two lines";
}

// Red runs 0 -> 200 while green and blue stay; every column is checked top to bottom.
void ExpectBands(const PixelCanvas& canvas, int (*redAt)(int x)) {
    for (int x = 0; x < canvas.width(); ++x) {
        for (int y = 0; y < canvas.height(); ++y) {
            ASSERT_EQ(canvas.At(x, y), RGB(redAt(x), 100, 50)) << "column " << x << " row " << y;
        }
    }
}

int NarrowRed(int x) {
    return 5 * x;  // 40 columns: step 200 * 256 / 40, one band per column
}
int WideRed(int x) {
    return x < 198 ? 2 * (x / 2) : 198;  // 100 bands of 2, the last one to the right edge
}

TEST_F(LabelTest, GradientHasOneBandPerColumnUpTo100AndTheLastReachesTheRightEdge) {
    for (const auto& [width, red] : {std::pair{40, &NarrowRed}, std::pair{250, &WideRed}}) {
        SCOPED_TRACE(width);
        PixelCanvas canvas(width, 12);
        canvas.Fill(RGB(9, 9, 9));
        CLabel::PaintGradient(canvas.dc(), CRect(0, 0, width, 12), RGB(0, 100, 50),
                              RGB(200, 100, 50));
        ExpectBands(canvas, red);

        // The same through a real opaque label of that width.
        CLabel& label = dialog.m_lblLabel;
        label.MoveWindow(20, 150, width, 12);
        label.SetCaption("");
        label.SetBackground(RGB(0, 100, 50), RGB(200, 100, 50), TRUE);
        PixelCanvas shown = CanvasFor(IDC_TEST_LABEL);
        ASSERT_EQ(shown.width(), width);
        Snapshot(dialog.Item(IDC_TEST_LABEL), shown);
        ExpectBands(shown, red);
    }
    PixelCanvas empty(4, 4);
    empty.Fill(RGB(9, 9, 9));
    CLabel::PaintGradient(empty.dc(), CRect(2, 0, 2, 4), RGB(0, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(CountColour(empty, RGB(9, 9, 9)), 16) << "no width, no bands";
}

TEST_F(LabelTest, TextBlinkWithoutBackgroundBrushDrawsBlackInTheHiddenPhase) {
    CLabel& label = dialog.m_lblLabel;
    label.SetTransparentPaint(TRUE).SetTextColour(kLight).SetCaption("Blinking text WWW");
    label.SetBlinkText(TRUE);
    EXPECT_EQ(label.GetBlinkKind(), BLINK_TEXT);
    PixelCanvas canvas = CanvasFor(IDC_TEST_LABEL);
    Snapshot(dialog.Item(IDC_TEST_LABEL), canvas);
    EXPECT_GT(CountColour(canvas, kBlack), 0) << "hidden phase over no brush";
    EXPECT_EQ(CountColour(canvas, kLight), 0);

    // The timer's tick shows the text again, repainting by itself.
    ASSERT_TRUE(PumpUntil([&] { return label.GetBlinkPhase() != FALSE; }));
    CopyClient(dialog.Item(IDC_TEST_LABEL), canvas);
    EXPECT_GT(CountColour(canvas, kLight), 0);
    EXPECT_EQ(CountColour(canvas, kBlack), 0);

    // Over a solid background the hidden text vanishes into it.
    label.SetBlinkText(FALSE).SetBlinkText(TRUE);
    label.SetTransparentPaint(FALSE).SetBackground(RGB(0, 0, 120), 0, FALSE);
    Snapshot(dialog.Item(IDC_TEST_LABEL), canvas);
    EXPECT_EQ(CountColour(canvas, RGB(0, 0, 120)), canvas.width() * canvas.height());

    label.SetBlinkText(FALSE);
    EXPECT_EQ(label.GetBlinkKind(), BLINK_NONE);
}

TEST_F(LabelTest, RotatedLabelIgnoresEmboss) {
    CLabel& label = dialog.m_lblRotated;
    constexpr COLORREF kEmboss = RGB(255, 0, 0);
    label.SetBackground(kWhite, 0, FALSE).SetTextColour(kBlack).SetEmbossColour(kEmboss);
    label.SetEmbossed(TRUE, TRUE).SetCaption("Turned");
    PixelCanvas canvas = CanvasFor(IDC_TEST_ROTATED);
    CopyClient(dialog.Item(IDC_TEST_ROTATED), canvas);
    EXPECT_GT(CountColour(canvas, kEmboss), 0) << "embossed while upright";

    label.SetTextAngle(90, TRUE);
    CopyClient(dialog.Item(IDC_TEST_ROTATED), canvas);
    EXPECT_EQ(CountColour(canvas, kEmboss), 0);
    const CRect text = FindColour(canvas, kBlack);
    ASSERT_FALSE(text.IsRectEmpty());
    EXPECT_GT(text.Height(), text.Width()) << "runs upwards";
}

struct ShellCall {
    std::string verb;  // "(none)" for the default action
    std::string file;
};
std::vector<ShellCall> shellCalls;

HINSTANCE WINAPI RecordShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    shellCalls.push_back({verb != nullptr ? verb : "(none)", file != nullptr ? file : ""});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));  // success
}

// Clicks the link label with the real pointer and waits until the click has been handled.
class LinkLabelTest : public LabelTest {
protected:
    void SetUp() override {
        LabelTest::SetUp();
        shellCalls.clear();
        previous_ = CLabel::SetShellExecute(&RecordShellExecute);
        dialog.m_lblLink.SetCaption("http://corvane.invalid/manual");
    }
    void TearDown() override { CLabel::SetShellExecute(previous_); }

    // A real click on the link label; the tests wait for what it causes. Clicks alternate
    // between the label's left and right quarter, so that no two make a double click.
    void ClickLink() {
        RECT area{};
        ::GetWindowRect(dialog.Item(IDC_TEST_LINK), &area);
        const LONG quarter = (area.right - area.left) / 4;
        const POINT target{(clicks_++ % 2 == 0) ? area.left + quarter : area.right - quarter,
                           (area.top + area.bottom) / 2};
        MovePointerTo(target);
        ASSERT_TRUE(PumpUntil([&] {
            POINT at{};
            ::GetCursorPos(&at);
            return std::abs(at.x - target.x) <= 1 && std::abs(at.y - target.y) <= 1;
        }));
        PressLeft();
        ReleaseLeft();
    }

private:
    CLabel::ShellExecuteFunction previous_ = nullptr;
    int clicks_ = 0;
};

TEST_F(LinkLabelTest, NotifyParentSendsLabelClickedAndOpensNothing) {
    CLabel& label = dialog.m_lblLink;
    for (bool shell : {false, true}) {
        SCOPED_TRACE(shell ? "shell link" : "open link");
        dialog.notices.clear();
        if (shell) {
            label.SetShellLink(TRUE, TRUE);
        } else {
            label.SetLinkTarget("Z:\\corvane\\manual.pdf").SetOpenLink(TRUE, TRUE);
        }
        EXPECT_NE(label.GetStyle() & SS_NOTIFY, 0u);
        ClickLink();
        // The notice and any opening come from the same handling of the click.
        ASSERT_TRUE(PumpUntil([&] { return !dialog.notices.empty(); }));
        ASSERT_EQ(dialog.notices.size(), 1u);
        EXPECT_EQ(dialog.notices[0].code, LABEL_CLICKED);
        EXPECT_EQ(dialog.notices[0].idFrom, static_cast<UINT_PTR>(IDC_TEST_LINK));
        EXPECT_EQ(dialog.notices[0].hwndFrom, dialog.Item(IDC_TEST_LINK));
        EXPECT_TRUE(shellCalls.empty());
    }
    label.SetOpenLink(FALSE, FALSE);
    EXPECT_EQ(label.GetStyle() & SS_NOTIFY, 0u);
    EXPECT_EQ(label.GetLinkKind(), LINK_NONE);
}

TEST_F(LinkLabelTest, WithoutNotifyParentAClickOpensTheTargetOrRunsTheText) {
    CLabel& label = dialog.m_lblLink;
    auto clickAndWait = [&](size_t calls) {
        ClickLink();
        ASSERT_TRUE(PumpUntil([&] { return shellCalls.size() >= calls; }));
    };
    label.SetOpenLink(TRUE, FALSE);
    clickAndWait(1);
    label.SetLinkTarget("Z:\\corvane\\manual.pdf");
    clickAndWait(2);
    label.SetShellLink(TRUE, FALSE);
    clickAndWait(3);
    ASSERT_EQ(shellCalls.size(), 3u);
    EXPECT_EQ(shellCalls[0].verb, "open");
    EXPECT_EQ(shellCalls[0].file, "http://corvane.invalid/manual") << "empty target: the text";
    EXPECT_EQ(shellCalls[1].verb, "open");
    EXPECT_EQ(shellCalls[1].file, "Z:\\corvane\\manual.pdf");
    EXPECT_EQ(shellCalls[2].verb, "(none)");
    EXPECT_EQ(shellCalls[2].file, "http://corvane.invalid/manual");
    EXPECT_TRUE(dialog.notices.empty());
}

TEST_F(LabelTest, OpaqueAfterTransparentKeepsTheTransparentStyle) {
    CLabel& label = dialog.m_lblLabel;
    label.SetTransparentPaint(TRUE).SetTransparentPaint(FALSE).SetCaption("");
    EXPECT_NE(label.GetExStyle() & WS_EX_TRANSPARENT, 0u);
    PixelCanvas canvas = CanvasFor(IDC_TEST_LABEL);
    Snapshot(dialog.Item(IDC_TEST_LABEL), canvas);
    EXPECT_EQ(CountColour(canvas, ::GetSysColor(COLOR_BTNFACE)), canvas.width() * canvas.height());
}

TEST_F(LabelTest, FaceNameKeepsAtMostTheFirst31Characters) {
    const std::string name40 = "Corvane Sans Extended Condensed Display!";
    ASSERT_EQ(name40.size(), 40u);
    for (size_t length : {size_t{5}, size_t{31}, size_t{32}, size_t{40}}) {
        const std::string name = name40.substr(0, length);
        dialog.m_lblLabel.SetFaceName(name.c_str(), ANSI_CHARSET);
        EXPECT_EQ(std::string(dialog.m_lblLabel.GetLogFont().lfFaceName),
                  name.substr(0, std::min<size_t>(length, 31)));
        EXPECT_EQ(dialog.m_lblLabel.GetLogFont().lfCharSet, ANSI_CHARSET);
    }
}

TEST(LabelDetached, SettersBeforeAttachingTouchNoWindow) {
    CLabel label;
    CLabel& same = label.SetCaption("nothing yet")
                       .SetTextColour(RGB(1, 2, 3))
                       .SetTransparentPaint(TRUE)
                       .SetBlinkText(TRUE)
                       .SetOpenLink(TRUE, FALSE)
                       .SetPointSize(12);
    EXPECT_EQ(&same, &label);
    EXPECT_EQ(label.GetSafeHwnd(), nullptr);
    EXPECT_EQ(label.GetTextColour(), RGB(1, 2, 3));
}

}  // namespace
}  // namespace corvane::test
