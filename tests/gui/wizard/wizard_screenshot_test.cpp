// Pictures of the first two pages for the test artifacts.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/gui/gui_support/screenshot.h"
#include "tests/gui/wizard/wizard_fixture.h"

namespace corvane::test {
namespace {

long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return static_cast<long>(data.nFileSizeLow);
}

TEST_F(WizardTest, ScreenshotsOfTheRequirementsAndAddressPages) {
    ::SetWindowPos(wizard.GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    const std::string directory = ArtifactsDirectory();
    const std::string page1 = directory + "wizard-page1.bmp";
    const std::string page2 = directory + "wizard-page2.bmp";
    ::DeleteFileA(page1.c_str());
    ::DeleteFileA(page2.c_str());

    ASSERT_TRUE(SaveWindowScreenshot(wizard.GetSafeHwnd(), page1));
    GoToAddressPage();
    TypeAddress(192, 168, 1, 20);
    ASSERT_TRUE(SaveWindowScreenshot(wizard.GetSafeHwnd(), page2));

    RECT frame{};
    ::GetWindowRect(wizard.GetSafeHwnd(), &frame);
    const long pixels = static_cast<long>(frame.right - frame.left) * (frame.bottom - frame.top);
    EXPECT_GT(FileSize(page1), pixels * 3);
    EXPECT_GT(FileSize(page2), pixels * 3);
}

}  // namespace
}  // namespace corvane::test
