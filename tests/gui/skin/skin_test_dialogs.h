// Dialogs on the test template: one that keeps the bitmap dialog's own colour answers, and
// one that hands every colour request to the framework's default, as the wizard does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/message_map_entries.h"
#include "tests/gui/gui_support/pixel_canvas.h"
#include "skin/bitmap_dialog.h"
#include "skin/check_box.h"
#include "tests/gui/pictures/test_resources.h"

class TestSkinDialog : public CBitmapDialog {
public:
    TestSkinDialog() : CBitmapDialog(IDD_TEST_SKIN) {}
    ~TestSkinDialog() override {
        if (m_hWnd != nullptr) {
            DestroyWindow();
        }
    }
    using CBitmapDialog::GetBackground;

    // Makes the borderless dialog with a client area of exactly `width` x `height`.
    bool Open(int width, int height) {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        return Create() && MoveWindow(0, 0, width, height, FALSE);
    }

    // What WM_ERASEBKGND paints into `canvas`, and its result.
    LRESULT EraseInto(PixelCanvas& canvas) {
        return SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.hdc()));
    }

    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }

    TCheckBox m_chkTest;

protected:
    void DoDataExchange(CDataExchange* exchange) override {
        CBitmapDialog::DoDataExchange(exchange);
        DDX_Control(exchange, IDC_TEST_CHECK, m_chkTest);
    }
};

class WizardLikeDialog : public TestSkinDialog {
public:
    DECLARE_MESSAGE_MAP()
};
