// What the tests of the update run in the real wizard dialog share: the dialog with its run
// shortened, a recorder of the progress bar, and a fixture that drives the pages against a
// simulated instrument on the test's own loopback address.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/kept_parameters.h"
#include "app/kestrup_dlg.h"
#include "app/update_run.h"
#include "app/wizard_texts.h"
#include "device/device_messages.h"
#include "device/mailbox_record.h"
#include "device/notify_progress.h"
#include "ads/ads_client_testing.h"
#include "platform/sleeper.h"
#include "resources/resource.h"
#include "sim/controller.h"
#include "tests/gui/gui_support/message_box_watcher.h"
#include "tests/gui/gui_support/screenshot.h"
#include "tests/support/test_address.h"

namespace corvane::test {

using std::chrono::milliseconds;

class RunWizard : public CKestrupDlg {
public:
    uint8_t Page() const { return m_nPage; }
    void ShortenRun(int divisor) { m_runOptions.timing = RunTiming{}.Shortened(divisor); }
    KeptParameters& Kept() { return m_kept; }
    // Whether the main label's whole text fits its lines, drawn in its own font.
    bool MessageFits() {
        RECT client{};
        ::GetClientRect(m_lblMessage.GetSafeHwnd(), &client);
        RECT needed = client;
        HDC dc = ::GetDC(m_lblMessage.GetSafeHwnd());
        const HGDIOBJ old = ::SelectObject(dc, m_lblMessage.GetLabelFont());
        const std::string text = WindowText(m_lblMessage.GetSafeHwnd());
        ::DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
        ::SelectObject(dc, old);
        ::ReleaseDC(m_lblMessage.GetSafeHwnd(), dc);
        return needed.bottom <= client.bottom && needed.right <= client.right;
    }
};

struct ControlState {
    int id;
    bool visible;
    bool enabled;
    const char* text;  // nullptr: not looked at
};

inline constexpr const char* kAddressTitle = "Preparing for the update process";
inline constexpr const char* kAddressMessage =
    "Please enter the IP-address of your Corvane Hardware below and click next.";
inline constexpr const char* kFinishedMessage =
    "The latest version of the Corvane firmware has been successfully installed.";

// Records every position the progress bar is given, and can take a picture once.
class ProgressRecorder {
public:
    explicit ProgressRecorder(HWND bar) : bar_(bar) {
        ::SetWindowSubclass(bar_, &ProgressRecorder::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~ProgressRecorder() { ::RemoveWindowSubclass(bar_, &ProgressRecorder::Proc, 1); }
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    std::vector<int> positions;
    // Called once the bar shows this position for the first time.
    int pictureAt = -1;
    std::function<void()> onPicture;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
        auto* self = reinterpret_cast<ProgressRecorder*>(data);
        const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
        if (message == PBM_SETPOS) {
            self->positions.push_back(static_cast<int>(wParam));
            if (static_cast<int>(wParam) == self->pictureAt && self->onPicture) {
                self->pictureAt = -1;
                self->onPicture();
            }
        }
        return result;
    }

    HWND bar_;
};

class RunDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
        ::InitCommonControlsEx(&controls);
        AdsClientResetForTests();
        ProgressWindow = nullptr;
        options_.listen = TestOctets();
        options_.rebootMs = 200;
        ASSERT_TRUE(wizard_.Create());
        wizard_.ShowWindow(SW_SHOW);
        // A message box would stop the test for good; the run must never show one.
        boxes_ = std::make_unique<MessageBoxWatcher>(wizard_.GetSafeHwnd());
    }
    void TearDown() override {
        if (boxes_ != nullptr) {
            for (const SeenMessageBox& box : boxes_->Seen()) {
                ADD_FAILURE() << "message box: " << box.text;
            }
            boxes_.reset();
        }
        if (wizard_.GetSafeHwnd() != nullptr) {
            ::DestroyWindow(wizard_.GetSafeHwnd());
        }
        instrument_.reset();
        ProgressWindow = nullptr;
        AdsClientResetForTests();
    }

    sim::Controller& StartInstrument() {
        instrument_ = std::make_unique<sim::Controller>(options_);
        EXPECT_TRUE(instrument_->Start()) << instrument_->LastError();
        instrument_->SetFloatParameter(0, 12.5f);
        instrument_->SetFloatParameter(2, -1.0f);
        instrument_->SetIntParameter(4, -12);
        instrument_->SetIntParameter(11, 123456);
        return *instrument_;
    }

    HWND Item(int id) const { return ::GetDlgItem(wizard_.GetSafeHwnd(), id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    bool Centred(int id) const {
        return (::GetWindowLongA(Item(id), GWL_STYLE) & SS_TYPEMASK) == SS_CENTER;
    }
    void Click(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
    void Pump() {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    std::array<BYTE, 4> TypedAddress() const {
        DWORD address = 0;
        ::SendMessageA(Item(IDC_IPADDRESS), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
        return {static_cast<BYTE>(FIRST_IPADDRESS(address)),
                static_cast<BYTE>(SECOND_IPADDRESS(address)),
                static_cast<BYTE>(THIRD_IPADDRESS(address)),
                static_cast<BYTE>(FOURTH_IPADDRESS(address))};
    }

    // Ticks the three boxes, goes to page 2 and types the instrument's address.
    void EnterAddress() {
        for (int id : {IDC_CHK_CONNECTED, IDC_CHK_PROGRAMS_CLOSED, IDC_CHK_NO_POWER_DOWN}) {
            Click(id);
        }
        Click(IDC_NEXT);
        ASSERT_EQ(wizard_.Page(), CKestrupDlg::PAGE_ADDRESS);
        TypeAddress();
    }
    // The address of the test's k-th instrument, on page 2.
    void TypeAddress(unsigned k = 0) {
        const auto octets = TestOctets(k);
        ::SendMessageA(Item(IDC_IPADDRESS), IPM_SETADDRESS, 0,
                       MAKEIPADDRESS(octets[0], octets[1], octets[2], octets[3]));
    }

    // Runs the update with the restore made to fail: busy from the end of the transfer on, the
    // restarted instrument takes no write back, and the wizard keeps the values.
    void RunFailingTheRestore(sim::Controller& instrument) {
        ProgressRecorder bar(Item(IDC_PROGRESS));
        bar.pictureAt = 64;
        bar.onPicture = [&] { instrument.SetFaults({.busy = true}); };
        Click(IDC_NEXT);
        ASSERT_EQ(wizard_.Page(), CKestrupDlg::PAGE_RESULT);
        ASSERT_EQ(Text(IDC_MESSAGE), WithValuesKept(TEXT_RESTORE_FAILED));
    }

    // The wizard's answer when Windows asks to end the session and, where Windows tells it
    // (Wine has no ShutdownBlockReasonQuery), the reason given for holding it (nullptr: none).
    void ExpectEndSession(bool allowed, const char* reason) {
        EXPECT_EQ(::SendMessageA(wizard_.GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0), allowed);
        using Query = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);
        const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleA("user32.dll"), "ShutdownBlockReasonQuery")));
        std::array<wchar_t, 512> given{};
        DWORD size = given.size();
        if (query != nullptr) {
            const std::string expected = reason != nullptr ? reason : "";
            EXPECT_EQ(query(wizard_.GetSafeHwnd(), given.data(), &size) ? given.data() : L"",
                      std::wstring(expected.begin(), expected.end()));
        }
    }

    void ExpectState(const std::vector<ControlState>& expected) const {
        for (const ControlState& control : expected) {
            SCOPED_TRACE("control " + std::to_string(control.id));
            EXPECT_EQ(Visible(control.id), control.visible);
            EXPECT_EQ(Enabled(control.id), control.enabled);
            if (control.text != nullptr) {
                EXPECT_EQ(Text(control.id), control.text);
            }
        }
    }

    void Picture(const std::string& name) {
        Pump();
        EXPECT_TRUE(SaveWindowScreenshot(wizard_.GetSafeHwnd(), ArtifactsDirectory() + name));
    }

    RunWizard wizard_;
    std::unique_ptr<MessageBoxWatcher> boxes_;
    sim::Options options_;
    std::unique_ptr<sim::Controller> instrument_;
    platform::ScopedFixedSleeper sleeper_{
        [](milliseconds duration) { std::this_thread::sleep_for(duration / 20); }};
};

// Every parameter the run carries across a flash, as the instrument holds it: all but the
// firmware version and id 9, which the run does not save.
inline std::vector<double> Carried(const sim::Controller& instrument) {
    std::vector<double> values;
    for (int id = 0; id < sim::kParameterCount; ++id) {
        if (id != sim::kFirmwareVersionParameter && id != 9) {
            values.push_back(sim::IsFloatParameter(id) ? instrument.FloatParameter(id)
                                                       : instrument.IntParameter(id));
        }
    }
    return values;
}

// What the result page shows apart from the heading, the main text and Back.
inline std::vector<ControlState> ResultPage(const char* title, const char* message,
                                            bool backEnabled) {
    return {
        {IDC_TITLE, true, true, title},
        {IDC_MESSAGE, true, true, message},
        {IDC_BACK, true, backEnabled, "&Back"},
        {IDC_NEXT, true, true, "&Finish"},
        {IDC_CANCEL, true, false, "&Cancel"},
        {IDC_PROGRESS, false, true, nullptr},
        {IDC_PIC_WARNING, false, true, nullptr},
        {IDC_PROGRESS_LABEL, false, true, nullptr},
        {IDC_INSTRUCTION, false, true, nullptr},
        {IDC_IPADDRESS, false, true, nullptr},
        {IDC_HINT, false, true, nullptr},
        {IDC_PIC_DISPLAY, false, true, nullptr},
        {IDC_CHK_CONNECTED, false, true, nullptr},
        {IDC_VERSION, true, true, "3.300"},
    };
}

}  // namespace corvane::test
