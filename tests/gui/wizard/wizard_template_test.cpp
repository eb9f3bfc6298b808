// Dialog template 102: what the resource says (ids, classes, texts, styles, rectangles in
// dialog units, order) and what the window system builds from it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/gui/wizard/dialog_template_reader.h"
#include "tests/gui/wizard/wizard_fixture.h"

namespace corvane::test {
namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kHiddenChild = WS_CHILD;
constexpr DWORD kCheckBox = kChild | BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP;

// In template order, which is the tab order.
const std::vector<TemplateItem> kTemplate = {
    {WS_EX_TRANSPARENT,
     kChild | BS_PUSHBUTTON | WS_TABSTOP,
     {349, 305, 50, 16},
     IDC_CANCEL,
     "Button",
     "&Cancel"},
    {WS_EX_TRANSPARENT,
     kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP,
     {167, 79, 232, 35},
     IDC_TITLE,
     "Static",
     "Welcome to Tolvik Corvane Firmware Update"},
    {WS_EX_TRANSPARENT,
     kHiddenChild | PBS_SMOOTH | WS_BORDER,
     {168, 170, 231, 12},
     IDC_PROGRESS,
     "msctls_progress32",
     ""},
    {0, kChild | SS_LEFT | WS_GROUP, {7, 282, 29, 8}, IDC_VERSION_CAPTION, "Static", "Version: "},
    {0, kChild | SS_CENTER | WS_GROUP, {33, 282, 31, 8}, IDC_VERSION, "Static", "Static"},
    {0, kHiddenChild | WS_TABSTOP, {225, 144, 127, 12}, IDC_IPADDRESS, "SysIPAddress32", ""},
    {WS_EX_TRANSPARENT,
     kChild | BS_DEFPUSHBUTTON | WS_TABSTOP,
     {285, 305, 50, 16},
     IDC_NEXT,
     "Button",
     "&Next"},
    {WS_EX_TRANSPARENT,
     kChild | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED,
     {231, 305, 50, 16},
     IDC_BACK,
     "Button",
     "&Back"},
    {WS_EX_TRANSPARENT,
     kCheckBox,
     {177, 193, 222, 25},
     IDC_CHK_CONNECTED,
     "Button",
     "Corvane is powered up and properly connected to the Network."},
    {WS_EX_TRANSPARENT,
     kCheckBox,
     {177, 164, 219, 25},
     IDC_CHK_PROGRAMS_CLOSED,
     "Button",
     "All windows programs except this installer are closed. This applies especially to your "
     "HPLC software (e.g. Chemstation)"},
    {WS_EX_TRANSPARENT,
     kCheckBox,
     {177, 220, 221, 25},
     IDC_CHK_NO_POWER_DOWN,
     "Button",
     "Don't power down this PC or your Corvane while updating the system."},
    {0,
     kChild | SS_LEFT | WS_GROUP,
     {168, 119, 231, 24},
     IDC_MESSAGE,
     "Static",
     "The Tolvik Firmware Wizard will guilde you through the following steps."},
    {0,
     kChild | SS_LEFT | WS_GROUP,
     {169, 141, 230, 36},
     IDC_INTRO,
     "Static",
     "To install the latest version onto your Corvane separation system it is necessary to "
     "follow these instructions."},
    {0,
     kChild | SS_LEFT | WS_GROUP,
     {192, 251, 207, 22},
     IDC_INSTRUCTION,
     "Static",
     "Check the boxes and click next to continue."},
    {0,
     kHiddenChild | SS_LEFT | WS_GROUP,
     {169, 174, 214, 18},
     IDC_HINT,
     "Static",
     "Hint: If you don't know the IP-Address, please have a look at the display of your "
     "Corvane-Device."},
    {0, kHiddenChild | SS_BITMAP, {191, 202, 192, 40}, IDC_PIC_DISPLAY, "Static", "#135"},
    {0, kHiddenChild | SS_BITMAP, {165, 251, 21, 20}, IDC_PIC_WARNING, "Static", "#136"},
    {WS_EX_TRANSPARENT,
     kHiddenChild | SS_RIGHT | WS_GROUP,
     {105, 158, 115, 8},
     IDC_PROGRESS_LABEL,
     "Static",
     "Overall progress"},
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(WizardTemplate, DialogIsACaptionedPopupWithoutSystemMenuInTheTaskBar) {
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(IDD_KESTRUP_DIALOG, dialog));
    EXPECT_EQ(dialog.caption, "Corvane Firmware Update Tool");
    EXPECT_EQ(dialog.style,
              static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION));
    EXPECT_EQ(dialog.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_TRUE(SameRect(dialog.units, RECT{0, 0, 406, 329}));
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.face, "MS Shell Dlg");
}

TEST(WizardTemplate, ControlsHaveTheirIdsClassesTextsStylesAndRectanglesInOrder) {
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(IDD_KESTRUP_DIALOG, dialog));
    ASSERT_EQ(dialog.items.size(), kTemplate.size());
    for (size_t i = 0; i < kTemplate.size(); ++i) {
        const TemplateItem& expected = kTemplate[i];
        const TemplateItem& actual = dialog.items[i];
        SCOPED_TRACE("position " + std::to_string(i) + ", control " + std::to_string(expected.id));
        EXPECT_EQ(actual.id, expected.id);
        EXPECT_EQ(::lstrcmpiA(actual.className.c_str(), expected.className.c_str()), 0)
            << actual.className;
        EXPECT_EQ(actual.text, expected.text);
        EXPECT_EQ(actual.style, expected.style) << std::hex << actual.style;
        EXPECT_EQ(actual.exStyle, expected.exStyle) << std::hex << actual.exStyle;
        EXPECT_TRUE(SameRect(actual.units, expected.units));
    }
}

using WizardWindowTest = WizardTest;

TEST_F(WizardWindowTest, WindowHasNoCloseBoxAndTheTemplateSize) {
    const HWND dialog = wizard.GetSafeHwnd();
    const auto style = static_cast<DWORD>(::GetWindowLongA(dialog, GWL_STYLE));
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(::GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    RECT client{};
    ::GetClientRect(dialog, &client);
    RECT units{0, 0, 406, 329};
    ::MapDialogRect(dialog, &units);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);

    const auto font = reinterpret_cast<HFONT>(wizard.SendMessage(WM_GETFONT));
    LOGFONTA description{};
    ASSERT_NE(::GetObjectA(font, sizeof(description), &description), 0);
    HDC screen = ::GetDC(nullptr);
    const int pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(std::abs(description.lfHeight), ::MulDiv(8, pixelsPerInch, 72));
}

TEST_F(WizardWindowTest, ControlsStandWhereTheTemplatePutsThem) {
    for (const TemplateItem& expected : kTemplate) {
        SCOPED_TRACE("control " + std::to_string(expected.id));
        const HWND control = Item(static_cast<int>(expected.id));
        ASSERT_NE(control, nullptr);
        // The dialog manager scales the origin and the size, each on its own.
        RECT place = expected.units;
        ::MapDialogRect(wizard.GetSafeHwnd(), &place);
        RECT actual{};
        ::GetWindowRect(control, &actual);
        ::MapWindowPoints(nullptr, wizard.GetSafeHwnd(), reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        if ((expected.style & SS_TYPEMASK) != SS_BITMAP || expected.className != "Static") {
            // A picture control takes its bitmap's size instead.
            EXPECT_EQ(actual.right - actual.left, place.right);
            EXPECT_EQ(actual.bottom - actual.top, place.bottom);
        }
    }
}

TEST_F(WizardWindowTest, TabOrderRunsThroughTheCheckBoxesByIdNotByPlace) {
    const HWND dialog = wizard.GetSafeHwnd();
    EXPECT_EQ(::GetNextDlgTabItem(dialog, Item(IDC_CHK_CONNECTED), FALSE),
              Item(IDC_CHK_PROGRAMS_CLOSED));
    EXPECT_EQ(::GetNextDlgTabItem(dialog, Item(IDC_CHK_PROGRAMS_CLOSED), FALSE),
              Item(IDC_CHK_NO_POWER_DOWN));
    // On screen 1016 stands above 1015.
    RECT connected{};
    RECT programsClosed{};
    ::GetWindowRect(Item(IDC_CHK_CONNECTED), &connected);
    ::GetWindowRect(Item(IDC_CHK_PROGRAMS_CLOSED), &programsClosed);
    EXPECT_LT(programsClosed.top, connected.top);
}

TEST_F(WizardWindowTest, PicturesShowTheirBitmapsAndTheWindowHasItsIcons) {
    for (int id : {IDC_PIC_DISPLAY, IDC_PIC_WARNING}) {
        SCOPED_TRACE(id);
        const auto bitmap =
            reinterpret_cast<HBITMAP>(::SendMessageA(Item(id), STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(bitmap, nullptr);
        BITMAP description{};
        EXPECT_NE(::GetObjectA(bitmap, sizeof(description), &description), 0);
    }
    EXPECT_NE(wizard.SendMessage(WM_GETICON, ICON_BIG), 0);
    EXPECT_NE(wizard.SendMessage(WM_GETICON, ICON_SMALL), 0);
    EXPECT_NE(wizard.SendMessage(WM_QUERYDRAGICON), 0);
}

}  // namespace
}  // namespace corvane::test
