// A dialog built from a template. DoModal runs it in our own modal loop, so that every
// message passes the windows' PreTranslateMessage before the dialog manager
// (IsDialogMessage) sees it, also the messages a handler pumps while it waits (the thread's
// message pump is the loop's own meanwhile); Create makes it modeless (tests drive dialogs that
// way).
#pragma once

#include "framework/data_exchange.h"
#include "framework/wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Shows the dialog and returns when it has ended: the value given to EndDialog, or -1
    // when the dialog could not be made.
    INT_PTR DoModal();
    // Makes the dialog without waiting for it; EndDialog hides it, the object's end destroys
    // it.
    BOOL Create(CWnd* parent = nullptr);
    // Ends the dialog with `result`; the window goes away once the current handler returns.
    void EndDialog(int result);

    bool IsEnded() const { return m_ended; }
    INT_PTR GetResult() const { return m_result; }

    virtual BOOL OnInitDialog();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    DECLARE_MESSAGE_MAP()

protected:
    virtual void DoDataExchange(CDataExchange* exchange);
    virtual void OnOK();
    virtual void OnCancel();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    HWND CreateFromTemplate(CWnd* parent);
    LRESULT OnInitDialogMessage(WPARAM, LPARAM);
    void RunModalLoop();
    // Pre-translation, the dialog manager, then translation and dispatch, as the modal loop
    // hands every message on.
    void Deliver(MSG& msg);
    bool PreTranslateChain(MSG& msg);
    // The thread's message pump while a modal loop runs: one message through the innermost
    // running modal dialog's Deliver.
    static bool PumpOneModalMessage();

    UINT m_templateId;
    CWnd* m_parent;
    bool m_modal = false;
    bool m_ended = false;
    INT_PTR m_result = -1;
};
