// The wizard run the way the program runs it: modally, in the dialog's own loop.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/gui/wizard/wizard_fixture.h"

namespace corvane::test {
namespace {

// Presses a button of the running wizard as soon as its loop runs.
class SelfPressingWizard : public CKestrupDlg {
public:
    explicit SelfPressingWizard(int button) : button_(button) {}
    HWND shown = nullptr;

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CKestrupDlg::OnInitDialog();
        shown = GetSafeHwnd();
        ::PostMessageA(::GetDlgItem(shown, button_), BM_CLICK, 0, 0);
        return result;
    }

private:
    int button_;
};

TEST(WizardModal, CancelEndsTheDialogAndItsWindow) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);
    SelfPressingWizard wizard(IDC_CANCEL);
    EXPECT_EQ(wizard.DoModal(), IDCANCEL);
    ASSERT_NE(wizard.shown, nullptr);
    EXPECT_FALSE(::IsWindow(wizard.shown));
    EXPECT_EQ(wizard.GetSafeHwnd(), nullptr);
}

TEST(WizardModal, EscapeEndsTheDialogOnTheFirstPage) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);
    class EscapingWizard : public CKestrupDlg {
    protected:
        BOOL OnInitDialog() override {
            const BOOL result = CKestrupDlg::OnInitDialog();
            // Through the dialog manager, as a key press arrives.
            ::PostMessageA(GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
            return result;
        }
    } wizard;
    EXPECT_EQ(wizard.DoModal(), IDCANCEL);
}

}  // namespace
}  // namespace corvane::test
