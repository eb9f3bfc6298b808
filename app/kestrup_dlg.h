// The wizard: one modal dialog whose pages (requirements, address, result) show, hide,
// enable and re-label the controls of a single template.
#pragma once

#include <cstdint>

#include "framework/button.h"
#include "framework/ip_address_ctrl.h"
#include "framework/progress_ctrl.h"
#include "framework/static_ctrl.h"
#include "skin/bitmap_dialog.h"
#include "skin/check_box.h"

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
    // Escape and close requests end the dialog like Cancel, except while an update runs.
    void OnCancel() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    LRESULT OnFlashStep(WPARAM step, LPARAM);
    void OnNext();
    void OnBack();

    // Page 2's Next with an address typed: the update run takes over here, switches to the
    // running layout, runs the update and shows the result page. Not there yet.
    virtual void StartUpdateRun();
    bool IsUpdateRunning() const { return m_bUpdateRunning; }

    HICON m_hIcon;
    CButton m_btnCancel;
    CButton m_btnBack;
    CButton m_btnNext;
    CIPAddressCtrl m_ipAddress;
    CProgressCtrl m_progress;
    CStatic m_lblVersionCaption;
    CStatic m_lblVersion;
    TCheckBox m_chkConnected;
    TCheckBox m_chkProgramsClosed;
    TCheckBox m_chkNoPowerDown;
    CStatic m_lblTitle;
    CStatic m_lblMessage;
    CStatic m_lblIntro;
    CStatic m_lblInstruction;
    uint8_t m_nPage;
    CStatic m_lblHint;
    CStatic m_picDisplay;
    CStatic m_picWarning;
    CStatic m_lblProgress;

    DECLARE_MESSAGE_MAP()

private:
    bool AllRequirementsConfirmed() const;
    void ShowRequirementsPage();
    void ShowAddressPage();
    void ShowAddressPageAfterRun();

    bool m_bUpdateRunning = false;
};
