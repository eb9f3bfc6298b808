// The modal loop: PreTranslateMessage sees messages before the dialog manager and the
// window do, and EndDialog ends the loop with its result.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/message_map_entries.h"
#include "platform/window_message.h"
#include "resources/resource.h"

namespace {

constexpr UINT WM_SWALLOWED = WM_APP + 7;
constexpr UINT WM_REWRITTEN_FROM = WM_APP + 8;
constexpr UINT WM_REWRITTEN_TO = WM_APP + 9;

class FilteringButton : public CButton {
public:
    std::vector<UINT> pretranslated;
    std::vector<UINT> received;

    BOOL PreTranslateMessage(MSG* msg) override {
        pretranslated.push_back(msg->message);
        if (msg->message == WM_SWALLOWED) {
            return TRUE;
        }
        if (msg->message == WM_REWRITTEN_FROM) {
            msg->message = WM_REWRITTEN_TO;
        }
        return CButton::PreTranslateMessage(msg);
    }

protected:
    template <UINT Message>
    LRESULT Record(WPARAM, LPARAM) {
        received.push_back(Message);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(FilteringButton, CButton)
    MapMessage<WM_SWALLOWED, &ThisClass::Record<WM_SWALLOWED>>(),
    MapMessage<WM_REWRITTEN_FROM, &ThisClass::Record<WM_REWRITTEN_FROM>>(),
    MapMessage<WM_REWRITTEN_TO, &ThisClass::Record<WM_REWRITTEN_TO>>(),
END_MESSAGE_MAP()
// clang-format on

class LoopDialog : public CDialog {
public:
    LoopDialog() : CDialog(IDD_KESTRUP_DIALOG) {}
    FilteringButton next;
    bool endDuringInit = false;
    bool pumpInHandler = false;
    std::vector<UINT> receivedWhilePumping;

protected:
    void DoDataExchange(CDataExchange* exchange) override { DDX_Control(exchange, IDC_NEXT, next); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (endDuringInit) {
            EndDialog(77);
            return TRUE;
        }
        if (pumpInHandler) {
            PostMessage(WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), 0);
            return TRUE;
        }
        next.PostMessage(WM_SWALLOWED);
        next.PostMessage(WM_REWRITTEN_FROM);
        PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    void OnCancelButton() { EndDialog(42); }
    // Waits inside a handler the way the device link's exchange does, moving the queue.
    void OnNextButton() {
        next.PostMessage(WM_REWRITTEN_FROM);
        platform::PumpAllMessages();
        receivedWhilePumping = next.received;
        EndDialog(43);
    }
    DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(LoopDialog, CDialog)
    MapCommand<IDC_CANCEL, &ThisClass::OnCancelButton>(),
    MapCommand<IDC_NEXT, &ThisClass::OnNextButton>(),
END_MESSAGE_MAP()
// clang-format on

class ModalLoop : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
        ::InitCommonControlsEx(&controls);
    }
};

TEST_F(ModalLoop, PreTranslateMessageCanSwallowOrRewriteBeforeTheWindowSeesIt) {
    LoopDialog dialog;
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_NE(
        std::find(dialog.next.pretranslated.begin(), dialog.next.pretranslated.end(), WM_SWALLOWED),
        dialog.next.pretranslated.end());
    EXPECT_EQ(dialog.next.received, (std::vector<UINT>{WM_REWRITTEN_TO}));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST_F(ModalLoop, MessagesPumpedInsideAHandlerArePreTranslatedToo) {
    LoopDialog dialog;
    dialog.pumpInHandler = true;
    EXPECT_EQ(dialog.DoModal(), 43);
    EXPECT_EQ(dialog.receivedWhilePumping, (std::vector<UINT>{WM_REWRITTEN_TO}));
}

TEST_F(ModalLoop, EndDialogDuringInitialisationEndsWithoutWaiting) {
    LoopDialog dialog;
    dialog.endDuringInit = true;
    EXPECT_EQ(dialog.DoModal(), 77);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST_F(ModalLoop, MissingTemplateFailsWithMinusOne) {
    CDialog dialog(4242);
    EXPECT_EQ(dialog.DoModal(), -1);
}

}  // namespace
