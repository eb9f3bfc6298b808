// The whole update run in the real wizard dialog: the running layout, the bar following the
// flash steps, the result pages, and Back from a failure.
#include "tests/gui/run/run_dialog_fixture.h"

namespace corvane::test {
namespace {

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
