#include "look_wizard.h"

#include <commctrl.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "controls_dialog.h"
#include "device/device_messages.h"
#include "device/notify_progress.h"
#include "framework/message_map_entries.h"
#include "ads/ads_client_testing.h"
#include "tests/gui/gui_support/screenshot.h"
#include "tests/support/test_address.h"

namespace corvane::test {

LRESULT LookWizard::OnStep(WPARAM step, LPARAM lParam) {
    const LRESULT result = OnFlashStep(step, lParam);
    if (onStep) {
        onStep(*this, static_cast<int>(step));
    }
    return result;
}

// clang-format off
BEGIN_MESSAGE_MAP(LookWizard, CKestrupDlg)
    MapMessage<WM_FLASH_STEP, &ThisClass::OnStep>(),
END_MESSAGE_MAP()
// clang-format on

void LookTest::SetUp() {
    AdsClientResetForTests();
    ProgressWindow = nullptr;
    // The run's fixed waits, a tenth as long: the instrument only needs them to be in order.
    sleeper_ = std::make_unique<platform::ScopedFixedSleeper>(
        [](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration / 10); });
    ParkPointer();
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);
    ASSERT_TRUE(wizard.Create());
    ::SetWindowPos(wizard.GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(wizard.GetSafeHwnd());
    wizard.UpdateWindow();
    PumpPending();
}

void LookTest::TearDown() {
    if (wizard.GetSafeHwnd() != nullptr) {
        wizard.DestroyWindow();
    }
    instrument.reset();
    sleeper_.reset();
    ProgressWindow = nullptr;
    AdsClientResetForTests();
}

void LookTest::TickAllAndGoOn() {
    for (int id : {IDC_CHK_CONNECTED, IDC_CHK_PROGRAMS_CLOSED, IDC_CHK_NO_POWER_DOWN}) {
        if (!Checked(id)) {
            Click(id);
        }
    }
    Click(IDC_NEXT);
    PumpPending();
    ASSERT_EQ(wizard.Page(), CKestrupDlg::PAGE_ADDRESS);
}

void LookTest::TypeAddress(const std::array<uint8_t, 4>& octets) {
    ::SendMessageA(Item(IDC_IPADDRESS), IPM_SETADDRESS, 0,
                   MAKEIPADDRESS(octets[0], octets[1], octets[2], octets[3]));
}

sim::Controller& LookTest::StartInstrument() {
    sim::Options options;
    options.listen = TestOctets();
    options.firmwareMajor = 3;
    options.firmwareMinor = 1;
    options.rebootMs = 200;
    instrument = std::make_unique<sim::Controller>(options);
    EXPECT_TRUE(instrument->Start()) << instrument->LastError();
    return *instrument;
}

std::unique_ptr<PixelCanvas> LookTest::Shown(int id) const {
    CRect client;
    ::GetClientRect(Item(id), &client);
    auto canvas = std::make_unique<PixelCanvas>(client.Width(), client.Height());
    CopyClient(Item(id), *canvas);
    return canvas;
}

void LookTest::SaveScreenshot(const std::string& name) {
    const std::string path = ArtifactsDirectory() + "skin2-" + name + ".bmp";
    ::DeleteFileA(path.c_str());
    EXPECT_TRUE(SaveWindowScreenshot(wizard.GetSafeHwnd(), path)) << path;
}

LONG LookTest::HeightOf(int points) {
    CFont font;
    font.CreatePointFont(points * 10, "MS Shell Dlg");
    LOGFONTA description{};
    font.GetLogFont(&description);
    return description.lfHeight;
}

}  // namespace corvane::test
