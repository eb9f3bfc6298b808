// The values a run keeps, in the real wizard dialog: asked for before the wizard closes,
// listed per instrument, held against log-off, restored by a resumed run, and never written to
// another instrument at the same address without the user's word.
#include "tests/gui/run/run_dialog_fixture.h"

namespace corvane::test {
namespace {

TEST_F(RunDialogTest, ValuesKeptFromAFailedRestoreAreAskedForAndRestoredByTheNextRun) {
    // The restore's whole phase goes by: at a twentieth of its length.
    wizard_.ShortenRun(20);
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
    wizard_.ShortenRun(20);
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
    wizard_.ShortenRun(20);
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

}  // namespace
}  // namespace corvane::test
