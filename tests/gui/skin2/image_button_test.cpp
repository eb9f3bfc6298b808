#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "controls_dialog.h"
#include "framework/client_dc.h"
#include "framework/memory_dc.h"
#include "framework/scoped_select_object.h"
#include "skin/wizard_button.h"
#include "skin/wizard_colours.h"

namespace corvane::test {
namespace {

constexpr COLORREF kActiveCore = RGB(0, 200, 0);
constexpr COLORREF kNormalCore = RGB(0, 0, 200);
constexpr COLORREF kDisabledCore = RGB(200, 0, 200);
constexpr int kImageWidth = 20;
constexpr int kImageHeight = 18;
constexpr int kFrame = 4;  // key-coloured border around each test picture's core

// The wizard's own button set-up, on the test pictures.
void SkinLikeWizard(CImageButton& button, BYTE align) {
    ASSERT_EQ(SkinWizardButton(button, IDB_TEST_ACTIVE, IDB_TEST_NORMAL, IDB_TEST_DISABLED, align),
              IMAGE_OK);
}

class ImageButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ParkPointer();
        ASSERT_TRUE(dialog.Open());
    }

    CRect ClientOf(int id) const {
        CRect client;
        ::GetClientRect(dialog.Item(id), &client);
        return client;
    }

    // The image's top-left corner as found from its core colour.
    static CPoint ImageAt(const PixelCanvas& canvas, COLORREF core) {
        const CRect found = FindColour(canvas, core);
        EXPECT_EQ(found.Width(), kImageWidth - 2 * kFrame);
        EXPECT_EQ(found.Height(), kImageHeight - 2 * kFrame);
        return {found.left - kFrame, found.top - kFrame};
    }

    // Every key-coloured pixel of the picture placed at `image` shows the backdrop.
    void ExpectKeyTransparent(const PixelCanvas& canvas, int id, CPoint image) const {
        const CPoint origin = dialog.Origin(id);
        int checked = 0;
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                const bool core = x >= kFrame && x < kImageWidth - kFrame && y >= kFrame &&
                                  y < kImageHeight - kFrame;
                const int cx = image.x + x;
                const int cy = image.y + y;
                if (core || cx < 0 || cy < 0 || cx >= canvas.width() || cy >= canvas.height()) {
                    continue;
                }
                ASSERT_EQ(canvas.At(cx, cy), BackdropAt(origin.x + cx, origin.y + cy))
                    << "picture pixel " << x << "," << y;
                ++checked;
            }
        }
        EXPECT_GT(checked, 100);
    }

    ControlsDialog dialog;
};

TEST_F(ImageButtonTest, EachStateDrawsItsImageAtItsPlaceWithTheKeyColourTransparent) {
    SkinLikeWizard(dialog.m_btnCancel, ALIGN_IMAGE_LEFT);
    HWND button = dialog.Item(IDC_TEST_CANCEL);
    const CRect client = ClientOf(IDC_TEST_CANCEL);
    PixelCanvas canvas(client.Width(), client.Height());
    const CPoint rest(3, (client.Height() - kImageHeight) / 2);

    Snapshot(button, canvas);
    CPoint at = ImageAt(canvas, kNormalCore);
    EXPECT_EQ(at.x, rest.x);
    EXPECT_EQ(at.y, rest.y);
    ExpectKeyTransparent(canvas, IDC_TEST_CANCEL, at);
    EXPECT_EQ(CountColour(canvas, kActiveCore), 0);
    EXPECT_GT(CountColour(canvas, CLR_WIZARD_TEXT), 0) << "caption at rest";
    EXPECT_EQ(CountColour(canvas, CLR_WIZARD_HOVER), 0);

    // The pointer over it: the active picture, same place, caption in the hover colour.
    MovePointerTo(CentreOf(button));
    ASSERT_TRUE(PumpUntil([&] { return dialog.m_btnCancel.IsHover() != FALSE; }));
    Snapshot(button, canvas);
    at = ImageAt(canvas, kActiveCore);
    EXPECT_EQ(at.x, rest.x);
    EXPECT_EQ(at.y, rest.y);
    ExpectKeyTransparent(canvas, IDC_TEST_CANCEL, at);
    EXPECT_EQ(CountColour(canvas, kNormalCore), 0);
    EXPECT_GT(CountColour(canvas, CLR_WIZARD_HOVER), 0) << "caption under the pointer";
    EXPECT_EQ(CountColour(canvas, CLR_WIZARD_TEXT), 0);

    // Pressed: the active picture pushed by one pixel each way.
    PressLeft();
    ASSERT_TRUE(PumpUntil([&] { return (dialog.m_btnCancel.GetState() & BST_PUSHED) != 0; }));
    Snapshot(button, canvas);
    at = ImageAt(canvas, kActiveCore);
    EXPECT_EQ(at.x, rest.x + 1);
    EXPECT_EQ(at.y, rest.y + 1);
    ExpectKeyTransparent(canvas, IDC_TEST_CANCEL, at);
    EXPECT_GT(CountColour(canvas, CLR_WIZARD_HOVER), 0) << "caption while pressed";
    ReleaseLeft();
    ASSERT_TRUE(PumpUntil([&] { return !dialog.clicks.empty(); }));
    EXPECT_EQ(dialog.clicks.front(), IDC_TEST_CANCEL);

    // Leaving ends the hover through the leave notification.
    ParkPointer();
    ASSERT_TRUE(PumpUntil([&] { return dialog.m_btnCancel.IsHover() == FALSE; }));
    Snapshot(button, canvas);
    EXPECT_GT(CountColour(canvas, kNormalCore), 0);
    EXPECT_EQ(CountColour(canvas, CLR_WIZARD_HOVER), 0);

    // Disabled: its own picture, and the caption no longer in either state colour.
    dialog.m_btnCancel.EnableWindow(FALSE);
    Snapshot(button, canvas);
    at = ImageAt(canvas, kDisabledCore);
    EXPECT_EQ(at.x, rest.x);
    EXPECT_EQ(at.y, rest.y);
    ExpectKeyTransparent(canvas, IDC_TEST_CANCEL, at);
    EXPECT_EQ(CountColour(canvas, CLR_WIZARD_TEXT), 0);
    EXPECT_EQ(CountColour(canvas, CLR_WIZARD_HOVER), 0);
}

TEST_F(ImageButtonTest, RightAlignedImageStandsRightOfTheCaptionOrCentredAtTheTopWithout) {
    SkinLikeWizard(dialog.m_btnNext, ALIGN_IMAGE_RIGHT);
    SkinLikeWizard(dialog.m_btnBare, ALIGN_IMAGE_RIGHT);

    const CRect client = ClientOf(IDC_TEST_NEXT);
    PixelCanvas withCaption(client.Width(), client.Height());
    Snapshot(dialog.Item(IDC_TEST_NEXT), withCaption);
    CPoint at = ImageAt(withCaption, kNormalCore);
    EXPECT_EQ(at.x, client.right - 3 - kImageWidth);
    EXPECT_EQ(at.y, (client.Height() - kImageHeight) / 2);
    ExpectKeyTransparent(withCaption, IDC_TEST_NEXT, at);
    // The caption keeps left of the picture.
    const CRect caption = FindColour(withCaption, CLR_WIZARD_TEXT);
    ASSERT_FALSE(caption.IsRectEmpty());
    EXPECT_LE(caption.right, at.x);

    const CRect bare = ClientOf(IDC_TEST_BARE);
    PixelCanvas noCaption(bare.Width(), bare.Height());
    Snapshot(dialog.Item(IDC_TEST_BARE), noCaption);
    at = ImageAt(noCaption, kNormalCore);
    EXPECT_EQ(at.x, (bare.Width() - kImageWidth) / 2);
    EXPECT_EQ(at.y, 0);
    ExpectKeyTransparent(noCaption, IDC_TEST_BARE, at);
}

TEST_F(ImageButtonTest, DisabledWithoutADisabledImageIsEmbossedOrShowsTheNormalImage) {
    CImageButton& button = dialog.m_btnBare;
    ASSERT_EQ(button.SetImages(LoadTestBitmap(IDB_TEST_ACTIVE), LoadTestBitmap(IDB_TEST_NORMAL)),
              IMAGE_OK);
    button.SetTransparentBack(TRUE);
    button.EnableWindow(FALSE);
    const CRect client = ClientOf(IDC_TEST_BARE);
    PixelCanvas canvas(client.Width(), client.Height());
    Snapshot(dialog.Item(IDC_TEST_BARE), canvas);

    // The system's embossed rendering: the core in the shadow colour with a highlight edge.
    EXPECT_EQ(CountColour(canvas, kNormalCore), 0);
    EXPECT_EQ(CountColour(canvas, kActiveCore), 0);
    const CRect shadow = FindColour(canvas, ::GetSysColor(COLOR_BTNSHADOW));
    ASSERT_FALSE(shadow.IsRectEmpty());
    const CPoint image((client.Width() - kImageWidth) / 2, (client.Height() - kImageHeight) / 2);
    EXPECT_EQ(shadow.left, image.x + kFrame);
    EXPECT_EQ(shadow.top, image.y + kFrame);
    EXPECT_GT(CountColour(canvas, ::GetSysColor(COLOR_BTNHIGHLIGHT)), 0);

    button.SetUseDisabledLook(FALSE);
    Snapshot(dialog.Item(IDC_TEST_BARE), canvas);
    const CPoint at = ImageAt(canvas, kNormalCore);
    EXPECT_EQ(at.x, image.x);
    EXPECT_EQ(at.y, image.y);
}

TEST_F(ImageButtonTest, ParentBackgroundIsCachedUntilTransparentBackIsSetAgain) {
    SkinLikeWizard(dialog.m_btnCancel, ALIGN_IMAGE_LEFT);
    HWND button = dialog.Item(IDC_TEST_CANCEL);
    const CRect client = ClientOf(IDC_TEST_CANCEL);
    PixelCanvas canvas(client.Width(), client.Height());
    const CPoint origin = dialog.Origin(IDC_TEST_CANCEL);
    Snapshot(button, canvas);
    ASSERT_EQ(canvas.At(1, 1), BackdropAt(origin.x + 1, origin.y + 1));

    // The dialog's backdrop changes everywhere; the button keeps what it copied.
    constexpr COLORREF kPlain = RGB(10, 100, 10);
    dialog.plainBackdrop = kPlain;
    dialog.RedrawWindow(nullptr, nullptr,
                        RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Snapshot(button, canvas);
    EXPECT_EQ(canvas.At(1, 1), BackdropAt(origin.x + 1, origin.y + 1));

    // Dropping the cache takes the dialog's background as it is now, not the button's own
    // earlier pixels still on the screen.
    dialog.m_btnCancel.SetTransparentBack(TRUE);
    Snapshot(button, canvas);
    EXPECT_EQ(canvas.At(1, 1), kPlain);
    EXPECT_EQ(canvas.At(client.Width() - 2, client.Height() - 2), kPlain);
    EXPECT_GT(CountColour(canvas, kNormalCore), 0);
}

TEST_F(ImageButtonTest, CheckBoxStyleControlBecomesAToggleWithoutPushShiftOrHoverImage) {
    CImageButton& toggle = dialog.m_btnToggle;
    ASSERT_TRUE(toggle.IsToggleMode());
    EXPECT_EQ(toggle.GetButtonStyle() & 0x1F, static_cast<UINT>(BS_OWNERDRAW));
    SkinLikeWizard(toggle, ALIGN_IMAGE_LEFT);
    HWND window = dialog.Item(IDC_TEST_TOGGLE);
    const CRect client = ClientOf(IDC_TEST_TOGGLE);
    PixelCanvas canvas(client.Width(), client.Height());
    Snapshot(window, canvas);
    const CPoint rest = ImageAt(canvas, kNormalCore);

    // The pointer over an unticked toggle does not bring the active picture.
    MovePointerTo(CentreOf(window));
    ASSERT_TRUE(PumpUntil([&] { return toggle.IsHover() != FALSE; }));
    Snapshot(window, canvas);
    EXPECT_GT(CountColour(canvas, kNormalCore), 0);
    EXPECT_EQ(CountColour(canvas, kActiveCore), 0);
    ParkPointer();
    ASSERT_TRUE(PumpUntil([&] { return toggle.IsHover() == FALSE; }));

    // Each click flips it; ticked, it shows the active picture where the normal one stood.
    for (int expected : {1, 0, 1}) {
        ::SendMessageA(window, BM_CLICK, 0, 0);
        PumpPending();
        EXPECT_EQ(::SendMessageA(window, BM_GETCHECK, 0, 0), expected);
    }
    Snapshot(window, canvas);
    const CPoint ticked = ImageAt(canvas, kActiveCore);
    EXPECT_EQ(ticked.x, rest.x);
    EXPECT_EQ(ticked.y, rest.y);
    EXPECT_EQ(dialog.clicks.size(), 3u) << "the dialog hears every click";

    struct Case {
        WPARAM state;
        LRESULT reads;
    };
    for (const Case& c :
         {Case{BST_UNCHECKED, 0}, Case{BST_INDETERMINATE, 1}, Case{3, 0}, Case{BST_CHECKED, 1}}) {
        ::SendMessageA(window, BM_SETCHECK, c.state, 0);
        EXPECT_EQ(::SendMessageA(window, BM_GETCHECK, 0, 0), c.reads) << "state " << c.state;
    }

    // A push button ignores BM_SETCHECK.
    ::SendMessageA(dialog.Item(IDC_TEST_CANCEL), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(::SendMessageA(dialog.Item(IDC_TEST_CANCEL), BM_GETCHECK, 0, 0), 0);
}

TEST_F(ImageButtonTest, DialogCodeFollowsTheDefaultButtonStyleAndTheTypeStaysOwnerDrawn) {
    HWND next = dialog.Item(IDC_TEST_NEXT);
    HWND cancel = dialog.Item(IDC_TEST_CANCEL);
    auto code = [](HWND window) { return ::SendMessageA(window, WM_GETDLGCODE, 0, 0); };
    auto type = [](HWND window) { return ::GetWindowLongA(window, GWL_STYLE) & 0x1F; };

    EXPECT_NE(code(next) & DLGC_DEFPUSHBUTTON, 0);
    EXPECT_EQ(code(next) & DLGC_UNDEFPUSHBUTTON, 0);
    EXPECT_NE(code(cancel) & DLGC_UNDEFPUSHBUTTON, 0);
    EXPECT_EQ(code(cancel) & DLGC_DEFPUSHBUTTON, 0);

    ::SendMessageA(next, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    ::SendMessageA(cancel, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_NE(code(next) & DLGC_UNDEFPUSHBUTTON, 0);
    EXPECT_EQ(code(next) & DLGC_DEFPUSHBUTTON, 0);
    EXPECT_NE(code(cancel) & DLGC_DEFPUSHBUTTON, 0);
    EXPECT_EQ(type(next), BS_OWNERDRAW);
    EXPECT_EQ(type(cancel), BS_OWNERDRAW);
}

TEST_F(ImageButtonTest, DisablingMovesTheFocusToTheNextTabStopOrTheDialog) {
    // The focus elsewhere: disabling still hands it to the tab stop after the button.
    ::SetFocus(dialog.Item(IDC_TEST_OTHER));
    dialog.m_btnCancel.EnableWindow(FALSE);
    EXPECT_EQ(::GetFocus(), dialog.Item(IDC_TEST_NEXT));

    ::SetFocus(dialog.Item(IDC_TEST_NEXT));
    dialog.m_btnNext.EnableWindow(FALSE);
    EXPECT_EQ(::GetFocus(), dialog.Item(IDC_TEST_BARE));

    // With no other tab stop left the dialog takes it (and places it as dialogs do), and
    // the disabled button does not keep it.
    ::EnableWindow(dialog.Item(IDC_TEST_TOGGLE), FALSE);
    ::EnableWindow(dialog.Item(IDC_TEST_OTHER), FALSE);
    dialog.m_btnBare.EnableWindow(FALSE);
    HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == dialog.GetSafeHwnd() || ::IsChild(dialog.GetSafeHwnd(), focus));
    EXPECT_NE(focus, dialog.Item(IDC_TEST_BARE));
}

TEST_F(ImageButtonTest, ADoubleClickPressesTwice) {
    SkinLikeWizard(dialog.m_btnCancel, ALIGN_IMAGE_LEFT);
    MovePointerTo(CentreOf(dialog.Item(IDC_TEST_CANCEL)));
    ASSERT_TRUE(PumpUntil([&] { return dialog.m_btnCancel.IsHover() != FALSE; }));
    for (int i = 0; i < 2; ++i) {
        PressLeft();
        ReleaseLeft();
    }
    EXPECT_TRUE(PumpUntil([&] { return dialog.clicks.size() >= 2; }));
    EXPECT_EQ(dialog.clicks, (std::vector<int>{IDC_TEST_CANCEL, IDC_TEST_CANCEL}));
}

TEST_F(ImageButtonTest, ImageSettersReleaseEverySlotOnNullOrFailure) {
    CImageButton& button = dialog.m_btnCancel;
    auto slots = [&] {
        return std::string{button.HasImage(0) ? '1' : '0', button.HasImage(1) ? '1' : '0',
                           button.HasImage(2) ? '1' : '0'};
    };
    SkinLikeWizard(button, ALIGN_IMAGE_LEFT);
    EXPECT_EQ(slots(), "111");
    EXPECT_EQ(button.GetImageSize(1).cx, kImageWidth);
    EXPECT_EQ(button.GetImageSize(1).cy, kImageHeight);

    EXPECT_EQ(button.SetImages(nullptr, LoadTestBitmap(IDB_TEST_NORMAL)), IMAGE_OK);
    EXPECT_EQ(slots(), "000");

    SkinLikeWizard(button, ALIGN_IMAGE_LEFT);
    EXPECT_EQ(button.SetDisabledImage(IDB_TEST_MISSING), IMAGE_INVALID);
    EXPECT_EQ(slots(), "000");

    // A handle that is no bitmap cannot be described.
    HBRUSH notABitmap = ::CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(button.SetImages(reinterpret_cast<HBITMAP>(notABitmap), nullptr), IMAGE_INVALID);
    EXPECT_EQ(slots(), "000");

    // Without images the button still draws its caption over the backdrop.
    PixelCanvas canvas(ClientOf(IDC_TEST_CANCEL).Width(), ClientOf(IDC_TEST_CANCEL).Height());
    button.SetTransparentBack(TRUE);
    button.SetStateColour(COLOUR_TEXT_NORMAL, CLR_WIZARD_TEXT);
    Snapshot(dialog.Item(IDC_TEST_CANCEL), canvas);
    EXPECT_GT(CountColour(canvas, CLR_WIZARD_TEXT), 0);
    const CPoint origin = dialog.Origin(IDC_TEST_CANCEL);
    EXPECT_EQ(canvas.At(1, 1), BackdropAt(origin.x + 1, origin.y + 1));
}

// A bitmap of `width` x 1 whose pixels are `colours`.
HBITMAP MakeRow(const std::vector<COLORREF>& colours) {
    CClientDC screen(static_cast<HWND>(nullptr));
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, static_cast<int>(colours.size()), 1);
    CMemoryDC memory(&screen);
    const ScopedSelectObject select(memory, bitmap);
    for (size_t i = 0; i < colours.size(); ++i) {
        memory.SetPixel(static_cast<int>(i), 0, colours[i]);
    }
    return bitmap;
}

std::vector<COLORREF> ReadRow(HBITMAP bitmap, size_t width) {
    CMemoryDC memory;
    const ScopedSelectObject select(memory, bitmap);
    std::vector<COLORREF> row;
    for (size_t i = 0; i < width; ++i) {
        row.push_back(memory.GetPixel(static_cast<int>(i), 0));
    }
    return row;
}

TEST(ImageButtonCopies, GreyAndDarkCopiesFollowTheirFormulasAndKeepTheKeyColour) {
    const std::vector<COLORREF> source = {RGB(200, 100, 50), RGB(255, 255, 255), RGB(0, 0, 0),
                                          IMAGE_KEY_COLOUR, RGB(3, 7, 250)};
    // lum = 0.299 R + 0.587 G + 0.114 B, truncated; dark = v - v / 4, truncated.
    const std::vector<COLORREF> grey = {RGB(124, 124, 124), RGB(255, 255, 255), RGB(0, 0, 0),
                                        IMAGE_KEY_COLOUR, RGB(33, 33, 33)};
    const std::vector<COLORREF> dark = {RGB(150, 75, 37), RGB(191, 191, 191), RGB(0, 0, 0),
                                        IMAGE_KEY_COLOUR, RGB(2, 5, 187)};
    HBITMAP bitmap = MakeRow(source);
    HBITMAP greyCopy = CImageButton::MakeGreyImage(bitmap, 5, 1);
    HBITMAP darkCopy = CImageButton::MakeDarkImage(bitmap, 5, 1);
    ASSERT_NE(greyCopy, nullptr);
    ASSERT_NE(darkCopy, nullptr);
    EXPECT_EQ(ReadRow(greyCopy, 5), grey);
    EXPECT_EQ(ReadRow(darkCopy, 5), dark);
    EXPECT_EQ(ReadRow(bitmap, 5), source) << "the source is left alone";
    EXPECT_EQ(CImageButton::DarkenColour(RGB(100, 100, 100), 1.5), RGB(100, 100, 100));
    // A negative factor brightens up to white and no further.
    EXPECT_EQ(CImageButton::DarkenColour(RGB(200, 100, 50), -1.0), RGB(255, 200, 100));
    ::DeleteObject(greyCopy);
    ::DeleteObject(darkCopy);
    ::DeleteObject(bitmap);
}

TEST_F(ImageButtonTest, NormalImageFromTheActiveOneIsDrawnAtRestWithItsKeyTransparent) {
    const BYTE lum = static_cast<BYTE>(0.587 * 200);  // of the green core
    // An automatic grey copy, and the active bitmap itself handed in as the normal one too.
    for (const bool grey : {true, false}) {
        SCOPED_TRACE(grey ? "grey copy" : "same bitmap");
        CImageButton& button = dialog.m_btnBare;
        HBITMAP active = LoadTestBitmap(IDB_TEST_ACTIVE);
        ASSERT_EQ(button.SetImages(active, grey ? IMAGE_AUTO_GREY : active), IMAGE_OK);
        ASSERT_EQ(button.HasImage(1), grey);
        button.SetTransparentBack(TRUE);
        const CRect client = ClientOf(IDC_TEST_BARE);
        PixelCanvas canvas(client.Width(), client.Height());
        Snapshot(dialog.Item(IDC_TEST_BARE), canvas);
        const CPoint at = ImageAt(canvas, grey ? RGB(lum, lum, lum) : kActiveCore);
        ExpectKeyTransparent(canvas, IDC_TEST_BARE, at);
        EXPECT_EQ(CountColour(canvas, kActiveCore), grey ? 0 : 120);
    }
}

TEST_F(ImageButtonTest, SettersBeforeAttachingRepaintNoWindow) {
    // A null window stands for the whole desktop, this dialog included.
    HWND window = dialog.GetSafeHwnd();
    ::ValidateRect(window, nullptr);
    CImageButton loose;
    loose.SetBorderDrawn(FALSE);
    loose.SetStateColour(COLOUR_TEXT_NORMAL, CLR_WIZARD_TEXT);
    EXPECT_FALSE(::GetUpdateRect(window, nullptr, FALSE));
}

}  // namespace
}  // namespace corvane::test
