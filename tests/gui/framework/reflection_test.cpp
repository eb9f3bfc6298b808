// Message maps and reflection: the control that caused a colour request, a draw request or
// a click answers it first; derived maps come before base maps.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/message_map_entries.h"
#include "framework/static_ctrl.h"
#include "resources/resource.h"

namespace {

constexpr UINT WM_PROBE_A = WM_APP + 1;
constexpr UINT WM_PROBE_B = WM_APP + 2;

// A label that answers its parent's colour requests with a brush of its own, or declines.
class AnsweringLabel : public CStatic {
public:
    HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
    bool decline = false;
    int requests = 0;
    UINT lastKind = 0;
    ~AnsweringLabel() override { ::DeleteObject(brush); }

protected:
    HBRUSH CtlColor(CDC& dc, UINT kind) {
        ++requests;
        lastKind = kind;
        if (decline) {
            return nullptr;
        }
        dc.SetTextColor(RGB(9, 8, 7));
        return brush;
    }
    DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(AnsweringLabel, CStatic)
    MapReflectedCtlColor<&ThisClass::CtlColor>(),
END_MESSAGE_MAP()
// clang-format on

// A button that sees its own clicks and, optionally, keeps them from the parent.
class ClickSeeingButton : public CButton {
public:
    bool consume = false;
    int clicks = 0;

protected:
    bool OnClicked() {
        ++clicks;
        return consume;
    }
    DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(ClickSeeingButton, CButton)
    MapReflectedCommand<BN_CLICKED, &ThisClass::OnClicked>(),
END_MESSAGE_MAP()
// clang-format on

// A button that switches itself to owner drawing when bound, as a skinned button does.
class OwnerDrawnButton : public CButton {
public:
    int draws = 0;
    HWND drawnWindow = nullptr;
    bool handleSetBeforeBinding = false;
    void DrawItem(LPDRAWITEMSTRUCT item) override {
        ++draws;
        drawnWindow = item->hwndItem;
        ::FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }

protected:
    void PreSubclassWindow() override {
        handleSetBeforeBinding = m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == nullptr;
        ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
        CButton::PreSubclassWindow();
    }
};

class ProbeDialogBase : public CDialog {
public:
    ProbeDialogBase() : CDialog(IDD_KESTRUP_DIALOG) {}
    int baseA = 0;
    int baseB = 0;
    bool declineInDerived = false;

protected:
    LRESULT OnProbeA(WPARAM, LPARAM) {
        ++baseA;
        return 10;
    }
    LRESULT OnProbeB(WPARAM, LPARAM) {
        ++baseB;
        return 20;
    }
    DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(ProbeDialogBase, CDialog)
    MapMessage<WM_PROBE_A, &ThisClass::OnProbeA>(),
    MapMessage<WM_PROBE_B, &ThisClass::OnProbeB>(),
END_MESSAGE_MAP()
// clang-format on

class ProbeDialog : public ProbeDialogBase {
public:
    AnsweringLabel title;
    AnsweringLabel message;
    ClickSeeingButton next;
    OwnerDrawnButton cancel;
    CButton check;
    int derivedA = 0;
    int parentClicks = 0;
    HWND notifiedBy = nullptr;
    bool parentAnswersColours = false;
    HBRUSH parentBrush = ::CreateSolidBrush(RGB(4, 5, 6));
    std::string lastSetText;
    ~ProbeDialog() override { ::DeleteObject(parentBrush); }

protected:
    void DoDataExchange(CDataExchange* exchange) override {
        DDX_Control(exchange, IDC_TITLE, title);
        DDX_Control(exchange, IDC_MESSAGE, message);
        DDX_Control(exchange, IDC_NEXT, next);
        DDX_Control(exchange, IDC_CANCEL, cancel);
        DDX_Control(exchange, IDC_CHK_CONNECTED, check);
    }
    LRESULT OnProbeA(WPARAM, LPARAM) {
        ++derivedA;
        return 11;
    }
    void OnNext() { ++parentClicks; }
    void OnTitleNotified(NMHDR& header, LRESULT& result) {
        notifiedBy = header.hwndFrom;
        result = 5;
    }
    HBRUSH OnCtlColor(CDC& dc, CWnd& control, UINT kind) {
        return parentAnswersColours ? parentBrush : CWnd::OnCtlColor(dc, control, kind);
    }
    DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(ProbeDialog, ProbeDialogBase)
    MapMessage<WM_PROBE_A, &ThisClass::OnProbeA>(),
    MapCommand<IDC_NEXT, &ThisClass::OnNext>(),
    MapNotify<WM_APP + 0x200, IDC_TITLE, &ThisClass::OnTitleNotified>(),
    MapCtlColor<&ThisClass::OnCtlColor>(),
END_MESSAGE_MAP()
// clang-format on

class Reflection : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
        ::InitCommonControlsEx(&controls);
        ASSERT_TRUE(dialog.Create());
    }
    HBRUSH AskColour(CWnd& control, UINT message = WM_CTLCOLORSTATIC) {
        HDC dc = ::GetDC(control.GetSafeHwnd());
        ::SetTextColor(dc, RGB(0, 0, 0));
        auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageA(dialog.GetSafeHwnd(), message, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(control.GetSafeHwnd())));
        textColour = ::GetTextColor(dc);
        ::ReleaseDC(control.GetSafeHwnd(), dc);
        return brush;
    }

    ProbeDialog dialog;
    COLORREF textColour = 0;
};

TEST_F(Reflection, ControlAnswersItsOwnColourRequest) {
    EXPECT_EQ(AskColour(dialog.title), dialog.title.brush);
    EXPECT_EQ(textColour, RGB(9, 8, 7));
    EXPECT_EQ(dialog.title.lastKind, static_cast<UINT>(CTLCOLOR_STATIC));
    AskColour(dialog.title, WM_CTLCOLORBTN);
    EXPECT_EQ(dialog.title.lastKind, static_cast<UINT>(CTLCOLOR_BTN));
}

TEST_F(Reflection, DecliningControlLeavesTheDefaultAnswer) {
    dialog.title.decline = true;
    const HBRUSH answer = AskColour(dialog.title);
    EXPECT_EQ(dialog.title.requests, 1);
    EXPECT_NE(answer, nullptr);
    EXPECT_NE(answer, dialog.title.brush);
    EXPECT_NE(textColour, RGB(9, 8, 7));
}

TEST_F(Reflection, ParentThatAnswersItselfBypassesTheControl) {
    dialog.parentAnswersColours = true;
    EXPECT_EQ(AskColour(dialog.title), dialog.parentBrush);
    EXPECT_EQ(dialog.title.requests, 0);
}

TEST_F(Reflection, PaintingAControlMakesItsColourRequestReachIt) {
    ::RedrawWindow(dialog.message.GetSafeHwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_GT(dialog.message.requests, 0);
}

TEST_F(Reflection, ClickReachesTheButtonAndThenTheParent) {
    ::SendMessageA(dialog.next.GetSafeHwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.next.clicks, 1);
    EXPECT_EQ(dialog.parentClicks, 1);
}

TEST_F(Reflection, ClickConsumedByTheButtonDoesNotReachTheParent) {
    dialog.next.consume = true;
    ::SendMessageA(dialog.next.GetSafeHwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.next.clicks, 1);
    EXPECT_EQ(dialog.parentClicks, 0);
}

TEST_F(Reflection, OwnerDrawnButtonDrawsItselfThroughItsParent) {
    EXPECT_TRUE(dialog.cancel.handleSetBeforeBinding);
    EXPECT_EQ(dialog.cancel.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    dialog.cancel.draws = 0;
    ::RedrawWindow(dialog.cancel.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GT(dialog.cancel.draws, 0);
    EXPECT_EQ(dialog.cancel.drawnWindow, dialog.cancel.GetSafeHwnd());
}

TEST_F(Reflection, DerivedMapComesFirstAndTheBaseMapServesTheRest) {
    EXPECT_EQ(dialog.SendMessage(WM_PROBE_A), 11);
    EXPECT_EQ(dialog.derivedA, 1);
    EXPECT_EQ(dialog.baseA, 0);
    EXPECT_EQ(dialog.SendMessage(WM_PROBE_B), 20);
    EXPECT_EQ(dialog.baseB, 1);
}

TEST_F(Reflection, NotificationsMeetTheEntryOfTheirCodeAndControl) {
    NMHDR header{dialog.title.GetSafeHwnd(), IDC_TITLE, WM_APP + 0x200};
    EXPECT_EQ(dialog.SendMessage(WM_NOTIFY, IDC_TITLE, reinterpret_cast<LPARAM>(&header)), 5);
    EXPECT_EQ(dialog.notifiedBy, dialog.title.GetSafeHwnd());

    dialog.notifiedBy = nullptr;
    NMHDR otherControl{dialog.message.GetSafeHwnd(), IDC_MESSAGE, WM_APP + 0x200};
    dialog.SendMessage(WM_NOTIFY, IDC_MESSAGE, reinterpret_cast<LPARAM>(&otherControl));
    NMHDR otherCode{dialog.title.GetSafeHwnd(), IDC_TITLE, WM_APP + 0x201};
    dialog.SendMessage(WM_NOTIFY, IDC_TITLE, reinterpret_cast<LPARAM>(&otherCode));
    EXPECT_EQ(dialog.notifiedBy, nullptr);
}

TEST_F(Reflection, UnboundControlsStillGetTheirDefaultColours) {
    CWnd* intro = dialog.GetDlgItem(IDC_INTRO);
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(intro->GetSafeHwnd()), nullptr);
    EXPECT_NE(AskColour(*intro), nullptr);
}

}  // namespace
