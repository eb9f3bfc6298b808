// The whole update run in the real wizard dialog: the running layout, the bar following the
// flash steps, the result pages, and Back from a failure.
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
namespace {

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

constexpr const char* kAddressTitle = "Preparing for the update process";
constexpr const char* kAddressMessage =
    "Please enter the IP-address of your Corvane Hardware below and click next.";
constexpr const char* kFinishedMessage =
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
std::vector<double> Carried(const sim::Controller& instrument) {
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
std::vector<ControlState> ResultPage(const char* title, const char* message, bool backEnabled) {
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

TEST_F(RunDialogTest, SuccessfulRunEndsOnTheFinishedPage) {
    sim::Controller& instrument = StartInstrument();
    EnterAddress();
    ProgressRecorder bar(Item(IDC_PROGRESS));
    // While the transfer runs: the running layout, with the bar part-way.
    std::vector<ControlState> running;
    bar.pictureAt = 40;
    bar.onPicture = [&] {
        ExpectEndSession(false, kShutdownBlockedRunning);
        running = {
            {IDC_TITLE, true, true, "Update in Process ..."},
            {IDC_MESSAGE, true, true,
             "The program is updating your Corvane hardware. This may take approximately one "
             "minute."},
            {IDC_INSTRUCTION, true, true, "Don't power down your PC and the Corvane now."},
            {IDC_PROGRESS, true, true, nullptr},
            {IDC_PIC_WARNING, true, true, nullptr},
            {IDC_PROGRESS_LABEL, true, true, "Overall progress"},
            {IDC_BACK, true, false, nullptr},
            {IDC_NEXT, true, false, nullptr},
            {IDC_CANCEL, true, false, nullptr},
            {IDC_IPADDRESS, false, true, nullptr},
            {IDC_HINT, false, true, nullptr},
            {IDC_PIC_DISPLAY, false, true, nullptr},
        };
        ExpectState(running);
        Picture("run_running_part_way.bmp");
    };
    ExpectEndSession(true, nullptr);

    Click(IDC_NEXT);

    EXPECT_FALSE(running.empty()) << "the bar never reached 40";
    ExpectEndSession(true, nullptr);
    EXPECT_EQ(wizard_.Page(), CKestrupDlg::PAGE_RESULT);
    ExpectState(ResultPage("Update Process finished", kFinishedMessage, false));
    EXPECT_TRUE(Centred(IDC_MESSAGE));
    EXPECT_EQ(instrument.Firmware(), std::make_pair(uint8_t{3}, uint8_t{3}));
    EXPECT_EQ(instrument.FloatParameter(2), -1.0f);
    EXPECT_EQ(instrument.IntParameter(11), 123456);
    ASSERT_FALSE(bar.positions.empty());
    EXPECT_EQ(bar.positions.back(), 74);
    Picture("run_success_page.bmp");

    // Finish ends the wizard.
    Click(IDC_NEXT);
    Pump();
    EXPECT_FALSE(::IsWindow(wizard_.GetSafeHwnd()) && ::IsWindowVisible(wizard_.GetSafeHwnd()));
}

TEST_F(RunDialogTest, BarFollowsTheFlashStepsDuringTheTransfer) {
    StartInstrument();
    EnterAddress();
    ProgressRecorder bar(Item(IDC_PROGRESS));

    Click(IDC_NEXT);

    ASSERT_EQ(Text(IDC_TITLE), "Update Process finished");
    // Every flash step arrived as WM_FLASH_STEP and moved the bar to step + 12, in order.
    std::vector<int> transfer;
    for (int position : bar.positions) {
        if (position >= 13 && position <= 64 && (transfer.empty() || transfer.back() != 64)) {
            transfer.push_back(position);
        }
    }
    std::vector<int> expected;
    for (int step = 1; step <= 52; ++step) {
        if (step != 48) {
            expected.push_back(step + 12);
        }
    }
    EXPECT_EQ(transfer, expected);
}

TEST_F(RunDialogTest, FlashStepMessageMovesTheBarAtAnyTime) {
    const HWND dialog = wizard_.GetSafeHwnd();
    EXPECT_EQ(::SendMessageA(dialog, WM_FLASH_STEP, 52, 0), 1);
    EXPECT_EQ(::SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 64);
    ::PostMessageA(dialog, WM_FLASH_STEP, 1, 0);
    Pump();
    EXPECT_EQ(::SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 13);
}

TEST_F(RunDialogTest, FailedRunOffersBackToTheAddressPage) {
    options_.faults.refuseConnect = true;
    sim::Controller& instrument = StartInstrument();
    EnterAddress();
    const auto typed = TypedAddress();

    Click(IDC_NEXT);

    EXPECT_EQ(wizard_.Page(), CKestrupDlg::PAGE_RESULT);
    ExpectState(ResultPage("Update Process failed...", "Couldn't connect to Corvane System", true));
    EXPECT_TRUE(Centred(IDC_MESSAGE));
    Picture("run_failure_page.bmp");

    Click(IDC_BACK);

    EXPECT_EQ(wizard_.Page(), CKestrupDlg::PAGE_ADDRESS);
    ExpectState({
        {IDC_TITLE, true, true, kAddressTitle},
        {IDC_MESSAGE, true, true, kAddressMessage},
        {IDC_NEXT, true, true, "&Next"},
        {IDC_BACK, true, true, "&Back"},
        {IDC_CANCEL, true, true, "&Cancel"},
        {IDC_IPADDRESS, true, true, nullptr},
        {IDC_HINT, true, true, nullptr},
        {IDC_PIC_DISPLAY, true, true, nullptr},
        {IDC_PROGRESS, false, true, nullptr},
        {IDC_PIC_WARNING, false, true, nullptr},
        {IDC_PROGRESS_LABEL, false, true, nullptr},
    });
    EXPECT_FALSE(Centred(IDC_MESSAGE));
    EXPECT_EQ(TypedAddress(), typed);

    // Next starts a fresh run, which now finds the instrument once its port is open again.
    instrument.SetFaults({});
    ASSERT_TRUE(
        instrument.WaitFor([](const sim::Stats& s) { return s.listening; }, milliseconds(5000)));
    Click(IDC_NEXT);
    EXPECT_EQ(wizard_.Page(), CKestrupDlg::PAGE_RESULT);
    EXPECT_EQ(Text(IDC_TITLE), "Update Process finished");
    EXPECT_EQ(Text(IDC_MESSAGE), kFinishedMessage);
}

TEST_F(RunDialogTest, ValuesKeptFromAFailedRestoreAreAskedForAndRestoredByTheNextRun) {
    // The restore's whole phase goes by: at a tenth of its length.
    wizard_.ShortenRun(10);
    sim::Controller& instrument = StartInstrument();
    const std::vector<double> before = Carried(instrument);
    EnterAddress();

    RunFailingTheRestore(instrument);

    const std::string failure = Text(IDC_MESSAGE);
    ExpectEndSession(false, kShutdownBlockedKept);
    // All of it shows: what happened, and how to put the values back.
    EXPECT_TRUE(wizard_.MessageFits()) << failure;
    // Finish, Escape, and Cancel once back on the address page each ask first; No stays.
    boxes_.reset();
    MessageBoxWatcher asked(wizard_.GetSafeHwnd(), IDNO);
    Click(IDC_NEXT);
    ::SendMessageA(wizard_.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
    ASSERT_EQ(asked.Seen().size(), 2u);
    ExpectState(ResultPage("Update Process failed...", failure.c_str(), true));
    Click(IDC_BACK);
    Click(IDC_CANCEL);
    ASSERT_EQ(asked.Seen().size(), 3u);
    for (const SeenMessageBox& box : asked.Seen()) {
        EXPECT_EQ(box.caption, "run_gui_tests");
        EXPECT_TRUE(box.text.starts_with(std::string(kFinishKeptQuestion) + "\n\n")) << box.text;
        EXPECT_NE(box.text.find("\nParameter 11: 123456\n"), std::string::npos) << box.text;
        EXPECT_TRUE(box.text.ends_with(std::string("\n\n") + kFinishKeptQuestionEnd)) << box.text;
    }
    ASSERT_EQ(wizard_.Page(), CKestrupDlg::PAGE_ADDRESS);

    // The instrument shows factory values, not the kept ones: the run asks first; Yes.
    instrument.SetFaults({});
    asked.SetAnswer(IDYES);
    Click(IDC_NEXT);

    EXPECT_EQ(Text(IDC_TITLE), "Update Process finished") << Text(IDC_MESSAGE);
    EXPECT_EQ(Carried(instrument), before);
    ASSERT_EQ(asked.Seen().size(), 4u);
    EXPECT_TRUE(asked.Seen()[3].text.starts_with(kKeptDifferQuestion)) << asked.Seen()[3].text;
    ExpectEndSession(true, nullptr);
}

TEST_F(RunDialogTest, ValuesKeptForOneInstrumentOutlastARunToAnotherAndAreListedUnderItsAddress) {
    wizard_.ShortenRun(10);
    sim::Options second = options_;
    second.listen = TestOctets(1);
    sim::Controller other(second);
    ASSERT_TRUE(other.Start()) << other.LastError();
    EnterAddress();
    RunFailingTheRestore(StartInstrument());

    Click(IDC_BACK);
    TypeAddress(1);
    Click(IDC_NEXT);

    EXPECT_EQ(Text(IDC_TITLE), "Update Process finished") << Text(IDC_MESSAGE);
    ExpectEndSession(false, kShutdownBlockedKept);
    boxes_.reset();
    MessageBoxWatcher asked(wizard_.GetSafeHwnd(), IDNO);
    Click(IDC_NEXT);
    ASSERT_EQ(asked.Seen().size(), 1u);
    const std::string& listed = asked.Seen()[0].text;
    EXPECT_NE(listed.find("\n\n" + TestAddress(0) + " (saved at "), std::string::npos) << listed;
    EXPECT_NE(listed.find("\nParameter 11: 123456\n"), std::string::npos) << listed;
    EXPECT_EQ(listed.find(TestAddress(1) + " (saved at "), std::string::npos) << listed;
    // Closing anyway lets them go, and with them the hold on the session.
    asked.SetAnswer(IDYES);
    Click(IDC_NEXT);
    ExpectEndSession(true, nullptr);
}

TEST_F(RunDialogTest, ResumedRunToAReplacedInstrumentAsksFirstAndNoLeavesItUntouched) {
    wizard_.ShortenRun(10);
    EnterAddress();
    RunFailingTheRestore(StartInstrument());
    // Another instrument now answers at the address, with values of its own.
    instrument_.reset();
    sim::Controller& replaced = StartInstrument();
    replaced.SetFloatParameter(0, 99.5f);
    boxes_.reset();
    MessageBoxWatcher asked(wizard_.GetSafeHwnd(), IDNO);

    Click(IDC_BACK);
    Click(IDC_NEXT);

    ASSERT_EQ(asked.Seen().size(), 1u);
    const std::string& question = asked.Seen()[0].text;
    EXPECT_TRUE(question.starts_with(std::string(kKeptDifferQuestion) + "\n\n" + TestAddress() +
                                     " (saved at "))
        << question;
    EXPECT_NE(question.find("\nParameter 11: 123456\n"), std::string::npos) << question;
    EXPECT_TRUE(question.ends_with(std::string("\n\n") + kKeptDifferQuestionEnd)) << question;
    EXPECT_EQ(Text(IDC_MESSAGE), WithValuesKept(TEXT_KEPT_DECLINED));
    EXPECT_FALSE(replaced.stats().mailboxReceived.contains(CMD_SET_PARAMETER));
    EXPECT_EQ(replaced.stats().stopRequests, 0u);
    Click(IDC_NEXT);
    ASSERT_EQ(asked.Seen().size(), 2u);
    EXPECT_NE(asked.Seen()[1].text.find("\nParameter 11: 123456\n"), std::string::npos);
    ExpectEndSession(false, kShutdownBlockedKept);
}

TEST_F(RunDialogTest, EveryKeptSetIsListedWholeInABoxThatFitsTheScreen) {
    // Six instruments' values, one a line, would make a box taller than the screen.
    constexpr unsigned kSets = 6;
    for (unsigned k = 0; k < kSets; ++k) {
        KeptSet set{TestOctets(k), std::chrono::system_clock::now(), 3.1f, {}, {}};
        for (int16_t id : {0, 1, 2, 3, 6, 5, 7, 8, 11, 4}) {
            set.values.emplace_back(
                id, device::ExactValue::Integer(static_cast<int32_t>(k * 100 + id)));
        }
        wizard_.Kept().Keep(set);
    }
    boxes_.reset();
    MessageBoxWatcher asked(wizard_.GetSafeHwnd(), IDNO);

    ::SendMessageA(wizard_.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);

    ASSERT_EQ(asked.Seen().size(), 1u);
    const SeenMessageBox& box = asked.Seen()[0];
    for (unsigned k = 0; k < kSets; ++k) {
        EXPECT_NE(box.text.find(TestAddress(k) + " (saved at "), std::string::npos) << box.text;
        EXPECT_NE(box.text.find("Parameter 4: " + std::to_string(k * 100 + 4)), std::string::npos);
    }
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(box.rect.top >= work.top && box.rect.bottom <= work.bottom)
        << box.rect.top << ".." << box.rect.bottom;
}

TEST_F(RunDialogTest, EmptyFourthFieldReadsAsZero) {
    // The instrument listens at a.b.c.0; only the first three fields are typed.
    const auto octets = TestOctets();
    options_.listen = {octets[0], octets[1], octets[2], 0};
    options_.firmwareMajor = 3;
    options_.firmwareMinor = 4;
    sim::Controller& instrument = StartInstrument();
    EnterAddress();
    ::SendMessageA(Item(IDC_IPADDRESS), IPM_CLEARADDRESS, 0, 0);
    std::vector<HWND> fields;
    for (HWND field = ::FindWindowExA(Item(IDC_IPADDRESS), nullptr, "Edit", nullptr);
         field != nullptr; field = ::FindWindowExA(Item(IDC_IPADDRESS), field, "Edit", nullptr)) {
        fields.push_back(field);
    }
    ASSERT_EQ(fields.size(), 4u);
    // The fields are laid out left to right; their window order need not be.
    std::sort(fields.begin(), fields.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        ::GetWindowRect(a, &ra);
        ::GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    for (size_t i = 0; i < 3; ++i) {
        ::SetWindowTextA(fields[i], std::to_string(octets[i]).c_str());
    }
    ASSERT_FALSE(::SendMessageA(Item(IDC_IPADDRESS), IPM_ISBLANK, 0, 0));

    Click(IDC_NEXT);

    // Reached and refused for its version: the run spoke to a.b.c.0.
    EXPECT_EQ(Text(IDC_MESSAGE), "You already have a newer/equal Firmware Version!");
    EXPECT_GE(instrument.stats().connectionsAccepted, 1u);
}

}  // namespace
}  // namespace corvane::test
