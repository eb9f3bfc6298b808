// The whole wizard driven by real key presses through the system's input queue, as a user
// without a mouse drives it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "controls_dialog.h"
#include "look_wizard.h"
#include "tests/support/test_address.h"

namespace corvane::test {
namespace {

void SendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof(input));
}

void Press(WORD key) {
    SendKey(key, false);
    SendKey(key, true);
}

void PressAlt(char letter) {
    SendKey(VK_MENU, false);
    Press(static_cast<WORD>(letter));
    SendKey(VK_MENU, true);
}

// Digits and dots, as typed on the main keyboard.
void Type(const std::string& text) {
    for (char c : text) {
        Press(c == '.' ? VK_OEM_PERIOD : static_cast<WORD>(c));
    }
}

class KeyboardTest : public LookTest {
protected:
    HWND Focus() const { return ::GetFocus(); }

    // Tab, as a user does, until the focus is on `id` (or inside it); false after a full
    // round of the dialog's tab stops.
    bool TabTo(int id) {
        for (int presses = 0; presses < 12; ++presses) {
            HWND target = Item(id);
            if (Focus() == target || ::IsChild(target, Focus())) {
                return true;
            }
            const HWND before = Focus();
            Press(VK_TAB);
            PumpUntil([&] { return Focus() != before; }, 1000);
        }
        return false;
    }
};

TEST_F(KeyboardTest, TheWholeWizardCanBeCompletedWithTheKeyboardAlone) {
    sim::Controller& simulated = StartInstrument();
    // Tab and Space tick the three boxes.
    for (int id : {IDC_CHK_CONNECTED, IDC_CHK_PROGRAMS_CLOSED, IDC_CHK_NO_POWER_DOWN}) {
        ASSERT_TRUE(TabTo(id)) << id;
        Press(VK_SPACE);
        ASSERT_TRUE(PumpUntil([&] { return Checked(id); })) << id;
    }
    // Enter presses Next.
    Press(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return wizard.Page() == CKestrupDlg::PAGE_ADDRESS; }));
    // Alt+B goes back, the ticks stay, Alt+N comes forward again.
    PressAlt('B');
    ASSERT_TRUE(PumpUntil([&] { return wizard.Page() == CKestrupDlg::PAGE_REQUIREMENTS; }));
    EXPECT_TRUE(Checked(IDC_CHK_CONNECTED));
    PressAlt('N');
    ASSERT_TRUE(PumpUntil([&] { return wizard.Page() == CKestrupDlg::PAGE_ADDRESS; }));

    // Digits and dots fill the address.
    ASSERT_TRUE(TabTo(IDC_IPADDRESS));
    const std::string address = FormatOctets(TestOctets());
    Type(address);
    DWORD typed = 0;
    ASSERT_TRUE(PumpUntil([&] {
        ::SendMessageA(Item(IDC_IPADDRESS), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&typed));
        const auto octets = TestOctets();
        return typed == MAKEIPADDRESS(octets[0], octets[1], octets[2], octets[3]);
    })) << address;

    // A first run that cannot connect; on its result page Cancel is disabled, so Alt+C does
    // nothing, and Alt+B (taken after it) goes back to the address.
    sim::Faults refuse;
    refuse.refuseConnect = true;
    simulated.SetFaults(refuse);
    ASSERT_TRUE(PumpUntil([&] { return !simulated.stats().listening; }));
    Press(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return wizard.Page() == CKestrupDlg::PAGE_RESULT; }));
    EXPECT_EQ(wizard.Title().GetWindowText(), "Update Process failed...");
    PressAlt('C');
    PressAlt('B');
    ASSERT_TRUE(PumpUntil([&] { return wizard.Page() == CKestrupDlg::PAGE_ADDRESS; }));
    EXPECT_FALSE(wizard.IsEnded());

    // The instrument answers now; Alt+N runs the update to its end, and Enter finishes.
    simulated.SetFaults({});
    ASSERT_TRUE(PumpUntil([&] { return simulated.stats().listening; }));
    PressAlt('N');
    ASSERT_TRUE(PumpUntil([&] { return wizard.Page() == CKestrupDlg::PAGE_RESULT; }, 60000));
    EXPECT_EQ(wizard.Title().GetWindowText(), "Update Process finished");
    Press(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return wizard.IsEnded(); }));
    EXPECT_EQ(simulated.stats().imagesInstalled, 1u);
}

TEST_F(KeyboardTest, AltCCancelsOnTheRequirementsPage) {
    PressAlt('C');
    ASSERT_TRUE(PumpUntil([&] { return wizard.IsEnded(); }));
    EXPECT_EQ(wizard.GetResult(), IDCANCEL);
}

TEST_F(KeyboardTest, AltCCancelsOnTheAddressPage) {
    TickAllAndGoOn();
    PressAlt('C');
    ASSERT_TRUE(PumpUntil([&] { return wizard.IsEnded(); }));
    EXPECT_EQ(wizard.GetResult(), IDCANCEL);
}

}  // namespace
}  // namespace corvane::test
