// The wizard: one modal dialog whose pages (requirements, address, result) show, hide,
// enable and re-label the controls of a single template.
#pragma once

#include <cstdint>
#include <string>

#include "app/kept_parameters.h"
#include "app/update_run.h"
#include "framework/button.h"
#include "framework/ip_address_ctrl.h"
#include "framework/progress_ctrl.h"
#include "framework/static_ctrl.h"
#include "framework/unique_handle.h"
#include "skin/bitmap_dialog.h"
#include "skin/check_box.h"
#include "skin/image_button.h"
#include "skin/label.h"

class CKestrupDlg : public CBitmapDialog {
public:
    explicit CKestrupDlg(CWnd* parent = nullptr);
    ~CKestrupDlg() override;

    static constexpr uint8_t PAGE_REQUIREMENTS = 1;
    static constexpr uint8_t PAGE_ADDRESS = 2;
    static constexpr uint8_t PAGE_RESULT = 3;

    uint8_t GetPage() const { return m_nPage; }

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    // Escape and close requests end the dialog like Cancel, except while an update runs; with
    // parameters kept from a failed restore the user is asked first.
    void OnCancel() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    LRESULT OnFlashStep(WPARAM step, LPARAM);
    void OnNext();
    void OnBack();
    // While a run is under way or values are kept, log-off and shutdown are held: ending the
    // session would lose them. WM_ENDSESSION keeps the default: once Windows ends the session
    // anyway, there is nothing the wizard could still save.
    BOOL OnQueryEndSession();

    // Page 2's Next with an address typed: switches to the running layout, runs the update
    // and shows the result page.
    virtual void StartUpdateRun();
    bool IsUpdateRunning() const { return m_bUpdateRunning; }

    HICON m_hIcon;
    CImageButton m_btnCancel;
    CImageButton m_btnBack;
    CImageButton m_btnNext;
    CIPAddressCtrl m_ipAddress;
    CProgressCtrl m_progress;
    CLabel m_lblVersionCaption;
    CLabel m_lblVersion;
    TCheckBox m_chkConnected;
    TCheckBox m_chkProgramsClosed;
    TCheckBox m_chkNoPowerDown;
    CLabel m_lblTitle;
    CLabel m_lblMessage;
    CLabel m_lblIntro;
    CLabel m_lblInstruction;
    uint8_t m_nPage;
    CLabel m_lblHint;
    CStatic m_picDisplay;
    CStatic m_picWarning;
    CLabel m_lblProgress;
    // What a run saved and could not restore, for a later run to the same instrument; it is
    // lost when the wizard closes.
    KeptParameters m_kept;
    // How the run goes: the embedded image and the run's own limits; tests shorten them.
    UpdateRunOptions m_runOptions;

    DECLARE_MESSAGE_MAP()

private:
    bool AllRequirementsConfirmed() const;
    void ShowRequirementsPage();
    void ShowAddressPage();
    void ShowAddressPageAfterRun();
    void ShowRunningLayout();
    void ShowResultPage(bool updated);
    // True when the wizard may close: nothing is kept, or the user, shown the kept values,
    // chose to close anyway.
    bool MayCloseLosingKeptValues();
    // The question asked then, every kept set under its address.
    std::string KeptValuesQuestion() const;
    // What ending the wizard now would lose, as Windows is told it; nullptr for nothing.
    const char* AtStake() const;
    // Gives Windows the reason for what is at stake now, or takes it back.
    void UpdateShutdownBlock();

    struct ShutdownBlockTraits {
        using Handle = HWND;
        static Handle Invalid() { return nullptr; }
        static void Close(Handle window) { ::ShutdownBlockReasonDestroy(window); }
    };

    bool m_bUpdateRunning = false;
    // The window Windows holds a reason for not to end the session.
    UniqueHandle<ShutdownBlockTraits> m_hShutdownBlock;
};
