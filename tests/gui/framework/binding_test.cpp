// Binding window objects to windows: by control id, for as long as both live, and never
// leaving a window that calls into a destroyed object.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/dialog.h"
#include "framework/message_map_entries.h"
#include "framework/static_ctrl.h"
#include "resources/resource.h"

namespace {

// Records the texts it is given and lets the control keep them through Default().
class RecordingLabel : public CStatic {
public:
    std::string lastText;
    int destroyed = 0;

protected:
    LRESULT OnSetText(WPARAM, LPARAM text) {
        lastText = reinterpret_cast<const char*>(text);
        return Default();
    }
    void PostNcDestroy() override { ++destroyed; }
    DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(RecordingLabel, CStatic)
    MapMessage<WM_SETTEXT, &ThisClass::OnSetText>(),
END_MESSAGE_MAP()
// clang-format on

class BindingDialog : public CDialog {
public:
    BindingDialog() : CDialog(IDD_KESTRUP_DIALOG) {}
    RecordingLabel title;
    int initialised = 0;

protected:
    BOOL OnInitDialog() override {
        ++initialised;
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* exchange) override {
        DDX_Control(exchange, IDC_TITLE, title);
    }
};

class Binding : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
        ::InitCommonControlsEx(&controls);
    }
};

TEST_F(Binding, ControlBoundByIdSeesItsMessagesAndDefaultStillWorks) {
    BindingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.initialised, 1);
    ASSERT_EQ(dialog.title.GetSafeHwnd(), ::GetDlgItem(dialog.GetSafeHwnd(), IDC_TITLE));
    EXPECT_EQ(CWnd::FromHandle(dialog.title.GetSafeHwnd()), &dialog.title);
    EXPECT_EQ(CWnd::FromHandle(dialog.GetSafeHwnd()), &dialog);

    dialog.title.SetWindowText("Preparing for the update process");
    EXPECT_EQ(dialog.title.lastText, "Preparing for the update process");
    EXPECT_EQ(dialog.title.GetWindowText(), "Preparing for the update process");
}

TEST_F(Binding, DestroyedWindowsUnbindTheirObjects) {
    BindingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const HWND dialogWindow = dialog.GetSafeHwnd();
    const HWND titleWindow = dialog.title.GetSafeHwnd();
    ASSERT_TRUE(dialog.DestroyWindow());
    EXPECT_FALSE(::IsWindow(dialogWindow));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.title.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.title.destroyed, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(dialogWindow), nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(titleWindow), nullptr);
}

TEST_F(Binding, ObjectGoneBeforeItsWindowLeavesAWorkingWindow) {
    BindingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const HWND introWindow = ::GetDlgItem(dialog.GetSafeHwnd(), IDC_INTRO);
    {
        RecordingLabel shortLived;
        ASSERT_TRUE(shortLived.SubclassWindow(introWindow));
        EXPECT_EQ(CWnd::FromHandlePermanent(introWindow), &shortLived);
    }
    EXPECT_EQ(CWnd::FromHandlePermanent(introWindow), nullptr);
    // Would call into the destroyed object if it were still subclassed.
    EXPECT_TRUE(::SetWindowTextA(introWindow, "still here"));
    char text[32] = {};
    ::GetWindowTextA(introWindow, text, sizeof(text));
    EXPECT_STREQ(text, "still here");
}

TEST_F(Binding, DialogObjectGoneTakesItsWindowWithIt) {
    HWND window = nullptr;
    {
        auto dialog = std::make_unique<BindingDialog>();
        ASSERT_TRUE(dialog->Create());
        window = dialog->GetSafeHwnd();
    }
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(Binding, OneWindowBindsToOneObject) {
    BindingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    RecordingLabel second;
    EXPECT_FALSE(second.SubclassWindow(dialog.title.GetSafeHwnd()));
    EXPECT_EQ(second.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(second.SubclassDlgItem(4242, &dialog)) << "no such control";
}

TEST_F(Binding, StandInsForUnboundWindowsAreStable) {
    BindingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    CWnd* intro = dialog.GetDlgItem(IDC_INTRO);
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->GetSafeHwnd(), ::GetDlgItem(dialog.GetSafeHwnd(), IDC_INTRO));
    EXPECT_EQ(dialog.GetDlgItem(IDC_INTRO), intro);
    EXPECT_EQ(intro->GetParent(), &dialog);
    EXPECT_EQ(dialog.GetDlgItem(4242), nullptr);
}

}  // namespace
