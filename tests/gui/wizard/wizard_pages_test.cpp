// The wizard's page machine driven through its own controls: confirmations, address,
// Back, the hand-over to the update run, and the ways the dialog ends.
#include <windows.h>

#include <gtest/gtest.h>

#include "device/device_messages.h"
#include "tests/gui/wizard/wizard_fixture.h"

namespace corvane::test {
namespace {

constexpr const char* kRequirementsText =
    "Please confirm the update requirements by clicking the checkboxes above!";
constexpr const char* kBlankAddressText =
    "The IP field is empty! Please enter a valid IP address first.";
// Message boxes carry the executable's base name; this is the test program's.
constexpr const char* kCaption = "wizard_gui_tests";

TEST_F(WizardTest, OpensOnTheRequirementsPageWithTheVersionShown) {
    EXPECT_EQ(wizard.Page(), CKestrupDlg::PAGE_REQUIREMENTS);
    ExpectState(kRequirementsPage);
    EXPECT_FALSE(Checked(IDC_CHK_CONNECTED));
    EXPECT_FALSE(Checked(IDC_CHK_PROGRAMS_CLOSED));
    EXPECT_FALSE(Checked(IDC_CHK_NO_POWER_DOWN));
}

class UnconfirmedRequirement : public WizardTest, public ::testing::WithParamInterface<int> {};

TEST_P(UnconfirmedRequirement, NextAsksForTheConfirmationsAndChangesNothing) {
    for (int id : {IDC_CHK_CONNECTED, IDC_CHK_PROGRAMS_CLOSED, IDC_CHK_NO_POWER_DOWN}) {
        if (id != GetParam()) {
            Tick(id);
        }
    }
    {
        MessageBoxWatcher boxes(wizard.GetSafeHwnd());
        Click(IDC_NEXT);
        ASSERT_EQ(boxes.Seen().size(), 1u);
        EXPECT_EQ(boxes.Seen()[0].text, kRequirementsText);
        EXPECT_EQ(boxes.Seen()[0].caption, kCaption);
        EXPECT_EQ(boxes.Seen()[0].owner, wizard.GetSafeHwnd());
        EXPECT_FALSE(boxes.MissedAny());
    }
    EXPECT_EQ(wizard.Page(), CKestrupDlg::PAGE_REQUIREMENTS);
    ExpectState(kRequirementsPage);
    EXPECT_FALSE(Checked(GetParam()));
    EXPECT_EQ(wizard.runs, 0);
}

INSTANTIATE_TEST_SUITE_P(EachBoxLeftOut, UnconfirmedRequirement,
                         ::testing::Values(IDC_CHK_CONNECTED, IDC_CHK_PROGRAMS_CLOSED,
                                           IDC_CHK_NO_POWER_DOWN));

TEST_F(WizardTest, NextWithNothingTickedAsksForTheConfirmations) {
    MessageBoxWatcher boxes(wizard.GetSafeHwnd());
    Click(IDC_NEXT);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text, kRequirementsText);
    EXPECT_EQ(wizard.Page(), CKestrupDlg::PAGE_REQUIREMENTS);
}

TEST_F(WizardTest, AllConfirmedNextShowsTheAddressPage) {
    MessageBoxWatcher boxes(wizard.GetSafeHwnd());
    TickAll();
    Click(IDC_NEXT);
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_EQ(wizard.Page(), CKestrupDlg::PAGE_ADDRESS);
    ExpectState(kAddressPage);
    EXPECT_EQ(wizard.runs, 0);
}

TEST_F(WizardTest, BackRestoresTheRequirementsPageAndKeepsTheTicks) {
    GoToAddressPage();
    Click(IDC_BACK);
    EXPECT_EQ(wizard.Page(), CKestrupDlg::PAGE_REQUIREMENTS);
    ExpectState(kRequirementsPage);
    EXPECT_TRUE(Checked(IDC_CHK_CONNECTED));
    EXPECT_TRUE(Checked(IDC_CHK_PROGRAMS_CLOSED));
    EXPECT_TRUE(Checked(IDC_CHK_NO_POWER_DOWN));

    // Still confirmed: the next Next goes straight on.
    MessageBoxWatcher boxes(wizard.GetSafeHwnd());
    Click(IDC_NEXT);
    EXPECT_TRUE(boxes.Seen().empty());
    ExpectState(kAddressPage);
}

TEST_F(WizardTest, BackKeepsTheTypedAddress) {
    GoToAddressPage();
    TypeAddress(127, 14, 3, 9);
    Click(IDC_BACK);
    Click(IDC_NEXT);
    EXPECT_EQ(wizard.TypedAddress(), (std::array<BYTE, 4>{127, 14, 3, 9}));
}

TEST_F(WizardTest, NextOnAnUntouchedAddressAsksForOne) {
    GoToAddressPage();
    MessageBoxWatcher boxes(wizard.GetSafeHwnd());
    Click(IDC_NEXT);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text, kBlankAddressText);
    EXPECT_EQ(boxes.Seen()[0].caption, kCaption);
    EXPECT_EQ(boxes.Seen()[0].owner, wizard.GetSafeHwnd());
    EXPECT_EQ(wizard.runs, 0);
    ExpectState(kAddressPage);
}

TEST_F(WizardTest, NextWithAnAddressHandsOverToTheUpdateRun) {
    GoToAddressPage();
    TypeAddress(127, 14, 0, 1);
    std::array<BYTE, 4> seenByRun{};
    wizard.onRun = [&](RecordingWizard& running) { seenByRun = running.TypedAddress(); };
    MessageBoxWatcher boxes(wizard.GetSafeHwnd());
    Click(IDC_NEXT);
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_EQ(wizard.runs, 1);
    EXPECT_EQ(seenByRun, (std::array<BYTE, 4>{127, 14, 0, 1}));
}

TEST_F(WizardTest, AnAddressWithOnlySomeFieldsIsNotBlankAndReadsZeroForTheRest) {
    GoToAddressPage();
    // Type into the first three fields only, as a user would.
    HWND field = ::GetWindow(Item(IDC_IPADDRESS), GW_CHILD);
    std::vector<HWND> fields;
    for (; field != nullptr; field = ::GetWindow(field, GW_HWNDNEXT)) {
        fields.push_back(field);
    }
    ASSERT_EQ(fields.size(), 4u);
    // Children may be kept in either order; the control reports which field is which.
    int typed = 0;
    for (HWND edit : fields) {
        RECT r{};
        ::GetWindowRect(edit, &r);
        int left = 0;
        for (HWND other : fields) {
            RECT o{};
            ::GetWindowRect(other, &o);
            left += o.left < r.left ? 1 : 0;
        }
        if (left < 3) {
            ::SetWindowTextA(edit, left == 0 ? "127" : left == 1 ? "14" : "7");
            ++typed;
        }
    }
    ASSERT_EQ(typed, 3);
    std::array<BYTE, 4> seenByRun{1, 1, 1, 1};
    wizard.onRun = [&](RecordingWizard& running) { seenByRun = running.TypedAddress(); };
    MessageBoxWatcher boxes(wizard.GetSafeHwnd());
    Click(IDC_NEXT);
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_EQ(wizard.runs, 1);
    EXPECT_EQ(seenByRun, (std::array<BYTE, 4>{127, 14, 7, 0}));
}

TEST_F(WizardTest, BackAfterAFailedRunShowsTheAddressPageAgain) {
    GoToAddressPage();
    TypeAddress(127, 14, 0, 2);
    wizard.onRun = [](RecordingWizard& running) { running.LayOutFailedRun(); };
    Click(IDC_NEXT);
    ASSERT_EQ(wizard.Page(), CKestrupDlg::PAGE_RESULT);
    ASSERT_TRUE(::GetWindowLongA(Item(IDC_MESSAGE), GWL_STYLE) & SS_CENTER);

    Click(IDC_BACK);
    EXPECT_EQ(wizard.Page(), CKestrupDlg::PAGE_ADDRESS);
    ExpectState(kAddressPage);
    const auto style = static_cast<DWORD>(::GetWindowLongA(Item(IDC_MESSAGE), GWL_STYLE));
    EXPECT_EQ(style & SS_CENTER, 0u) << "label 1018 is left-aligned again";
    EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
    EXPECT_EQ(wizard.TypedAddress(), (std::array<BYTE, 4>{127, 14, 0, 2}));

    // And Next starts a fresh run.
    wizard.onRun = nullptr;
    Click(IDC_NEXT);
    EXPECT_EQ(wizard.runs, 2);
}

TEST_F(WizardTest, FinishOnTheResultPageEndsTheDialogLikeCancel) {
    GoToAddressPage();
    TypeAddress(127, 14, 0, 3);
    wizard.onRun = [](RecordingWizard& running) { running.LayOutFailedRun(); };
    Click(IDC_NEXT);
    ASSERT_FALSE(wizard.IsEnded());
    MessageBoxWatcher boxes(wizard.GetSafeHwnd());
    Click(IDC_NEXT);
    EXPECT_TRUE(wizard.IsEnded());
    EXPECT_EQ(wizard.GetResult(), IDCANCEL);
    EXPECT_TRUE(boxes.Seen().empty()) << "nothing kept: no question";
}

class EndingRequest : public WizardTest, public ::testing::WithParamInterface<int> {
protected:
    void Request() {
        if (GetParam() == IDC_CANCEL) {
            Click(IDC_CANCEL);
        } else {
            // Escape in the dialog manager, or a close request: both arrive as IDCANCEL.
            wizard.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    }
};

TEST_P(EndingRequest, EndsTheDialogOnTheRequirementsPage) {
    Request();
    EXPECT_TRUE(wizard.IsEnded());
    EXPECT_EQ(wizard.GetResult(), IDCANCEL);
}

TEST_P(EndingRequest, EndsTheDialogOnTheAddressPage) {
    GoToAddressPage();
    Request();
    EXPECT_TRUE(wizard.IsEnded());
    EXPECT_EQ(wizard.GetResult(), IDCANCEL);
}

INSTANTIATE_TEST_SUITE_P(CancelButtonAndEscape, EndingRequest,
                         ::testing::Values(IDC_CANCEL, IDCANCEL));

TEST_F(WizardTest, CloseRequestsDuringTheRunDoNotEndTheWizard) {
    GoToAddressPage();
    TypeAddress(127, 14, 0, 4);
    wizard.onRun = [](RecordingWizard& running) {
        running.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        running.SendMessage(WM_CLOSE);
        // The run keeps the queue moving, so a posted request is handled while it runs.
        MSG msg{};
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
        running.LayOutFailedRun();
    };
    Click(IDC_NEXT);
    EXPECT_FALSE(wizard.IsEnded());
    EXPECT_EQ(wizard.Page(), CKestrupDlg::PAGE_RESULT);
}

TEST_F(WizardTest, FlashStepsMoveTheProgressBar) {
    const HWND bar = Item(IDC_PROGRESS);
    ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 74));
    EXPECT_EQ(wizard.SendMessage(WM_FLASH_STEP, 52, 0), 1);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 64);
    EXPECT_EQ(wizard.SendMessage(WM_FLASH_STEP, 1, 0), 1);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 13);
    // Nothing else changes, also with no run going on.
    ExpectState(kRequirementsPage);
}

}  // namespace
}  // namespace corvane::test
