#include "app/wizard_run_view.h"

#include "framework/cstring.h"
#include "framework/win_app.h"
#include "platform/window_message.h"

std::array<uint8_t, 4> CWizardRunView::ReadAddress() {
    std::array<BYTE, 4> octets{};
    address_.GetAddress(octets[0], octets[1], octets[2], octets[3]);
    return {octets[0], octets[1], octets[2], octets[3]};
}

void CWizardRunView::SetProgressRange(int low, int high) {
    progress_.SetRange(static_cast<short>(low), static_cast<short>(high));
}

void CWizardRunView::SetProgressPosition(int position) {
    progress_.SetPos(position);
}

void CWizardRunView::SetMessageText(const std::string& text) {
    message_.SetCaption(text.c_str());
}

platform::WindowHandle CWizardRunView::WindowHandle() {
    return dialog_.GetSafeHwnd();
}

void CWizardRunView::PumpPendingMessages() {
    platform::PumpAllMessages();
}

bool CWizardRunView::ConfirmWriteKept(const std::string& question) {
    // No is the default: a slip of the Enter key must not write another instrument's values.
    return AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, &dialog_) ==
           IDYES;
}
