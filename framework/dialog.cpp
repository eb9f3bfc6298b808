#include "framework/dialog.h"

#include "framework/message_map_entries.h"
#include "platform/window_message.h"

namespace {

// The dialog whose modal loop runs innermost on this thread.
thread_local CDialog* t_modalDialog = nullptr;

// Makes a dialog the thread's innermost modal one, and its loop the thread's message pump, for
// as long as it lives.
class ModalScope {
public:
    ModalScope(CDialog* dialog, platform::MessagePump pump)
        : outerDialog_(t_modalDialog), outerPump_(platform::SetThreadMessagePump(pump)) {
        t_modalDialog = dialog;
    }
    ~ModalScope() {
        t_modalDialog = outerDialog_;
        platform::SetThreadMessagePump(outerPump_);
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    CDialog* const outerDialog_;
    const platform::MessagePump outerPump_;
};

}  // namespace

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (exchange == nullptr || exchange->m_pDlgWnd == nullptr || control.m_hWnd != nullptr) {
        return;
    }
    control.SubclassDlgItem(static_cast<UINT>(id), exchange->m_pDlgWnd);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() = default;

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    if (message != WM_INITDIALOG) {
        // Everything else reaches the object through its subclass, which the window procedure
        // calls before the dialog manager: a handler's result goes back to the sender as it is,
        // with no DWLP_MSGRESULT, and what no handler takes arrives here for the default.
        return FALSE;
    }
    auto* self = reinterpret_cast<CDialog*>(lParam);
    if (self == nullptr || FromHandlePermanent(window) != nullptr) {
        return FALSE;
    }
    self->BindWindow(window);
    self->m_ownsWindow = true;
    return self->Dispatch(WM_INITDIALOG, wParam, lParam);
}

HWND CDialog::CreateFromTemplate(CWnd* parent) {
    m_ended = false;
    m_result = -1;
    ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId),
                         parent != nullptr ? parent->GetSafeHwnd() : nullptr, &CDialog::DialogProc,
                         reinterpret_cast<LPARAM>(this));
    return m_hWnd;
}

BOOL CDialog::Create(CWnd* parent) {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    m_modal = false;
    return CreateFromTemplate(parent != nullptr ? parent : m_parent) != nullptr;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd != nullptr) {
        return -1;
    }
    m_modal = true;
    const ModalScope scope(this, &CDialog::PumpOneModalMessage);
    HWND owner = m_parent != nullptr ? m_parent->GetSafeHwnd() : nullptr;
    if (CreateFromTemplate(m_parent) == nullptr) {
        m_modal = false;
        return -1;
    }
    const bool disabledOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disabledOwner) {
        ::EnableWindow(owner, FALSE);
    }
    if (!m_ended) {
        ::ShowWindow(m_hWnd, SW_SHOW);
        RunModalLoop();
    }
    // The owner comes back before the dialog goes, so activation returns to it.
    if (disabledOwner) {
        ::EnableWindow(owner, TRUE);
    }
    if (m_hWnd != nullptr) {
        ::DestroyWindow(m_hWnd);
    }
    m_modal = false;
    return m_result;
}

void CDialog::RunModalLoop() {
    MSG msg{};
    while (!m_ended && m_hWnd != nullptr) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) {
            break;
        }
        if (got == 0) {
            // WM_QUIT belongs to whoever runs the loop outside this dialog.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        Deliver(msg);
    }
}

void CDialog::Deliver(MSG& msg) {
    if (m_hWnd == nullptr || (!PreTranslateChain(msg) && !::IsDialogMessageA(m_hWnd, &msg))) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool CDialog::PumpOneModalMessage() {
    MSG msg{};
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (msg.message == WM_QUIT) {
        // Left for the modal loop that owns it.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    if (t_modalDialog != nullptr) {
        t_modalDialog->Deliver(msg);
    } else {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return true;
}

bool CDialog::PreTranslateChain(MSG& msg) {
    for (HWND window = msg.hwnd; window != nullptr; window = ::GetParent(window)) {
        if (CWnd* bound = FromHandlePermanent(window);
            bound != nullptr && bound->PreTranslateMessage(&msg)) {
            return true;
        }
        if (window == m_hWnd) {
            break;
        }
    }
    return false;
}

void CDialog::EndDialog(int result) {
    m_result = result;
    m_ended = true;
    if (m_hWnd == nullptr) {
        return;
    }
    if (m_modal) {
        PostMessage(WM_NULL);  // wake the modal loop so it sees the end
    } else {
        ShowWindow(SW_HIDE);  // destroyed with the object, never under a running handler
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT CDialog::OnInitDialogMessage(WPARAM, LPARAM) {
    return OnInitDialog();
}

// clang-format off
BEGIN_MESSAGE_MAP(CDialog, CWnd)
    MapMessage<WM_INITDIALOG, &ThisClass::OnInitDialogMessage>(),
    MapCommand<IDOK, &ThisClass::OnOK>(),
    MapCommand<IDCANCEL, &ThisClass::OnCancel>(),
END_MESSAGE_MAP()
// clang-format on
