// The wizard dialog as the update run sees it: the address control it reads, the progress bar
// and main label it drives, and the window that receives the flash steps.
#pragma once

#include "app/update_run.h"
#include "framework/ip_address_ctrl.h"
#include "framework/progress_ctrl.h"
#include "framework/wnd.h"
#include "skin/label.h"

class CWizardRunView : public UpdateRunView {
public:
    CWizardRunView(CWnd& dialog, CIPAddressCtrl& address, CProgressCtrl& progress, CLabel& message)
        : dialog_(dialog), address_(address), progress_(progress), message_(message) {}

    std::array<uint8_t, 4> ReadAddress() override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    void SetMessageText(const std::string& text) override;
    platform::WindowHandle WindowHandle() override;
    void PumpPendingMessages() override;
    bool ConfirmWriteKept(const std::string& question) override;

private:
    CWnd& dialog_;
    CIPAddressCtrl& address_;
    CProgressCtrl& progress_;
    CLabel& message_;
};
