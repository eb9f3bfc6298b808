// The real wizard dialog, made modeless so a test can press its buttons and read its
// controls back on the test's own thread. The update run is replaced by a recorder.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/kestrup_dlg.h"
#include "resources/resource.h"
#include "tests/gui/gui_support/message_box_watcher.h"

namespace corvane::test {

class RecordingWizard : public CKestrupDlg {
public:
    // Called in place of the update run, with the wizard as the run would find it.
    std::function<void(RecordingWizard&)> onRun;
    int runs = 0;

    uint8_t Page() const { return m_nPage; }
    std::array<BYTE, 4> TypedAddress() const {
        std::array<BYTE, 4> octets{};
        m_ipAddress.GetAddress(octets[0], octets[1], octets[2], octets[3]);
        return octets;
    }
    // Leaves the dialog as a failed run leaves it: the result page with Back and Finish.
    void LayOutFailedRun() {
        m_lblTitle.SetWindowText("Update Process failed...");
        m_lblMessage.SetWindowText("Couldn't connect to Corvane System");
        m_lblMessage.ModifyStyle(0, SS_CENTER);
        m_btnBack.EnableWindow(TRUE);
        m_btnCancel.EnableWindow(FALSE);
        m_btnNext.SetWindowText("&Finish");
        m_btnNext.EnableWindow(TRUE);
        m_picDisplay.ShowWindow(SW_HIDE);
        m_lblHint.ShowWindow(SW_HIDE);
        m_ipAddress.ShowWindow(SW_HIDE);
        m_progress.ShowWindow(SW_SHOW);  // left for Back to hide, as the run may leave it
        m_picWarning.ShowWindow(SW_SHOW);
        m_lblProgress.ShowWindow(SW_SHOW);
        m_nPage = PAGE_RESULT;
    }

protected:
    void StartUpdateRun() override {
        ++runs;
        if (onRun) {
            onRun(*this);
        }
    }
};

// What one control shows: nullptr text means the text is not looked at.
struct ControlState {
    int id;
    bool visible;
    bool enabled;
    const char* text;
};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
        ::InitCommonControlsEx(&controls);
        ASSERT_TRUE(wizard.Create());
        ASSERT_NE(wizard.GetSafeHwnd(), nullptr);
    }

    HWND Item(int id) const { return ::GetDlgItem(wizard.GetSafeHwnd(), id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    bool Checked(int id) const { return ::SendMessageA(Item(id), BM_GETCHECK, 0, 0) != 0; }
    // A real click through the control: disabled or hidden controls ignore it as they would
    // a user's.
    void Click(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
    void Tick(int id) {
        if (!Checked(id)) {
            Click(id);
        }
        ASSERT_TRUE(Checked(id)) << id;
    }
    void TickAll() {
        Tick(IDC_CHK_CONNECTED);
        Tick(IDC_CHK_PROGRAMS_CLOSED);
        Tick(IDC_CHK_NO_POWER_DOWN);
    }
    void GoToAddressPage() {
        TickAll();
        Click(IDC_NEXT);
        ASSERT_EQ(wizard.Page(), CKestrupDlg::PAGE_ADDRESS);
    }
    void TypeAddress(BYTE a, BYTE b, BYTE c, BYTE d) {
        ::SendMessageA(Item(IDC_IPADDRESS), IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
    }

    void ExpectState(const std::vector<ControlState>& expected) const {
        for (const ControlState& control : expected) {
            SCOPED_TRACE("control " + std::to_string(control.id));
            ASSERT_NE(Item(control.id), nullptr);
            EXPECT_EQ(Visible(control.id), control.visible);
            EXPECT_EQ(Enabled(control.id), control.enabled);
            if (control.text != nullptr) {
                EXPECT_EQ(Text(control.id), control.text);
            }
        }
    }

    RecordingWizard wizard;
};

inline const char* const kPage1Title = "Welcome to Tolvik Corvane Firmware Update";
inline const char* const kPage1Message =
    "The Tolvik Firmware Wizard will guilde you through the following steps.";
inline const char* const kPage1Instruction = "Check the boxes and click next to continue.";
inline const char* const kPage2Title = "Preparing for the update process";
inline const char* const kPage2Message =
    "Please enter the IP-address of your Corvane Hardware below and click next.";

// Every control of the template on the requirements page.
inline const std::vector<ControlState> kRequirementsPage = {
    {IDC_CANCEL, true, true, "&Cancel"},
    {IDC_TITLE, true, true, kPage1Title},
    {IDC_PROGRESS, false, true, nullptr},
    {IDC_VERSION_CAPTION, true, true, "Version: "},
    {IDC_VERSION, true, true, "3.300"},
    {IDC_IPADDRESS, false, true, nullptr},
    {IDC_NEXT, true, true, "&Next"},
    {IDC_BACK, true, false, "&Back"},
    {IDC_CHK_CONNECTED, true, true, nullptr},
    {IDC_CHK_PROGRAMS_CLOSED, true, true, nullptr},
    {IDC_CHK_NO_POWER_DOWN, true, true, nullptr},
    {IDC_MESSAGE, true, true, kPage1Message},
    {IDC_INTRO, true, true,
     "To install the latest version onto your Corvane separation system it is necessary to "
     "follow these instructions."},
    {IDC_INSTRUCTION, true, true, kPage1Instruction},
    {IDC_HINT, false, true, nullptr},
    {IDC_PIC_DISPLAY, false, true, nullptr},
    {IDC_PIC_WARNING, false, true, nullptr},
    {IDC_PROGRESS_LABEL, false, true, nullptr},
};

// Every control of the template on the address page.
inline const std::vector<ControlState> kAddressPage = {
    {IDC_CANCEL, true, true, "&Cancel"},
    {IDC_TITLE, true, true, kPage2Title},
    {IDC_PROGRESS, false, true, nullptr},
    {IDC_VERSION_CAPTION, true, true, "Version: "},
    {IDC_VERSION, true, true, "3.300"},
    {IDC_IPADDRESS, true, true, nullptr},
    {IDC_NEXT, true, true, "&Next"},
    {IDC_BACK, true, true, "&Back"},
    {IDC_CHK_CONNECTED, false, true, nullptr},
    {IDC_CHK_PROGRAMS_CLOSED, false, true, nullptr},
    {IDC_CHK_NO_POWER_DOWN, false, true, nullptr},
    {IDC_MESSAGE, true, true, kPage2Message},
    {IDC_INTRO, false, true, nullptr},
    {IDC_INSTRUCTION, false, true, nullptr},
    {IDC_HINT, true, true,
     "Hint: If you don't know the IP-Address, please have a look at the display of your "
     "Corvane-Device."},
    {IDC_PIC_DISPLAY, true, true, nullptr},
    {IDC_PIC_WARNING, false, true, nullptr},
    {IDC_PROGRESS_LABEL, false, true, nullptr},
};

}  // namespace corvane::test
