// The real wizard, made modeless on the test's thread, with its skinned members in reach, a
// hook on the flash steps (so a test can look at the dialog while the update runs), and a
// simulated instrument on the test's own loopback address.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/kestrup_dlg.h"
#include "platform/sleeper.h"
#include "resources/resource.h"
#include "sim/controller.h"
#include "tests/gui/gui_support/pixel_canvas.h"

namespace corvane::test {

class LookWizard : public CKestrupDlg {
public:
    // Called after the dialog has moved its bar for each flash step.
    std::function<void(LookWizard&, int step)> onStep;

    uint8_t Page() const { return m_nPage; }
    CLabel& Title() { return m_lblTitle; }
    CLabel& Instruction() { return m_lblInstruction; }
    CLabel& Version() { return m_lblVersion; }
    CImageButton& Next() { return m_btnNext; }
    CImageButton& Back() { return m_btnBack; }

    DECLARE_MESSAGE_MAP()

protected:
    LRESULT OnStep(WPARAM step, LPARAM lParam);
};

class LookTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND Item(int id) const { return ::GetDlgItem(wizard.GetSafeHwnd(), id); }
    bool Checked(int id) const { return ::SendMessageA(Item(id), BM_GETCHECK, 0, 0) != 0; }
    void Click(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
    void TickAllAndGoOn();
    void TypeAddress(const std::array<uint8_t, 4>& octets);
    // Starts the simulated instrument (firmware 3.1) on the test's address.
    sim::Controller& StartInstrument();
    // Pixels of the control as they stand on the screen.
    std::unique_ptr<PixelCanvas> Shown(int id) const;
    // Saves the wizard's picture as build/artifacts/skin2-<name>.bmp.
    void SaveScreenshot(const std::string& name);
    // The font height that `points` gives on this screen, as the label's description holds it.
    static LONG HeightOf(int points);

    LookWizard wizard;
    std::unique_ptr<sim::Controller> instrument;

private:
    std::unique_ptr<platform::ScopedFixedSleeper> sleeper_;
};

}  // namespace corvane::test
