#include "app/kestrup_dlg.h"

#include <windows.h>

#include <sstream>
#include <string>

#include "app/update_run.h"
#include "app/wizard_constants.h"
#include "app/wizard_run_view.h"
#include "app/wizard_texts.h"
#include "device/device_messages.h"
#include "framework/client_dc.h"
#include "framework/cstring.h"
#include "framework/font.h"
#include "framework/message_map_entries.h"
#include "framework/paint_dc.h"
#include "framework/rect.h"
#include "framework/scoped_select_object.h"
#include "framework/win_app.h"
#include "platform/scoped_timer_resolution.h"
#include "resources/resource.h"
#include "skin/wizard_button.h"
#include "skin/wizard_colours.h"

namespace {

// The wide text Windows takes for a reason it shows, read as the A functions read our texts.
std::wstring Widened(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.pop_back();  // the terminating null
    return wide;
}

// Whether a message box showing `text` fits the work area of the screen `window` is on. The
// box lays itself out, so this errs on the tall side: the text wrapped at a quarter of the
// screen's width, narrower than a box wraps it, and six lines for caption, margins and buttons.
bool FitsMessageBox(HWND window, const std::string& text) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof(metrics);
    CFont font;
    if (!::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) ||
        !font.CreateFontIndirect(&metrics.lfMessageFont)) {
        return false;
    }
    CClientDC dc(HWND{});
    const ScopedSelectObject select(dc, font);
    TEXTMETRICA textMetrics{};
    ::GetTextMetricsA(dc, &textMetrics);
    const RECT& work = monitor.rcWork;
    RECT needed{0, 0, (work.right - work.left) / 4, 0};
    dc.DrawText(text.c_str(), -1, &needed,
                DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    const int frame = ::GetSystemMetrics(SM_CYCAPTION) +
                      6 * (textMetrics.tmHeight + textMetrics.tmExternalLeading);
    return needed.bottom - needed.top + frame <= work.bottom - work.top;
}

// A kept set's listing with its values run on in one paragraph under the address line.
std::string RunTogether(const std::string& listing) {
    std::istringstream lines(listing);
    std::string line;
    std::getline(lines, line);
    std::string joined = line + "\n";
    const char* separator = "";
    while (std::getline(lines, line)) {
        joined.append(separator).append(line);
        separator = "; ";
    }
    return joined + "\n";
}

}  // namespace

CKestrupDlg::CKestrupDlg(CWnd* parent)
    : CBitmapDialog(IDD_KESTRUP_DIALOG, parent),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_nPage(PAGE_REQUIREMENTS) {}

CKestrupDlg::~CKestrupDlg() = default;

void CKestrupDlg::DoDataExchange(CDataExchange* exchange) {
    CBitmapDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_CANCEL, m_btnCancel);
    DDX_Control(exchange, IDC_BACK, m_btnBack);
    DDX_Control(exchange, IDC_NEXT, m_btnNext);
    DDX_Control(exchange, IDC_IPADDRESS, m_ipAddress);
    DDX_Control(exchange, IDC_PROGRESS, m_progress);
    DDX_Control(exchange, IDC_VERSION_CAPTION, m_lblVersionCaption);
    DDX_Control(exchange, IDC_VERSION, m_lblVersion);
    DDX_Control(exchange, IDC_CHK_CONNECTED, m_chkConnected);
    DDX_Control(exchange, IDC_CHK_PROGRAMS_CLOSED, m_chkProgramsClosed);
    DDX_Control(exchange, IDC_CHK_NO_POWER_DOWN, m_chkNoPowerDown);
    DDX_Control(exchange, IDC_TITLE, m_lblTitle);
    DDX_Control(exchange, IDC_MESSAGE, m_lblMessage);
    DDX_Control(exchange, IDC_INTRO, m_lblIntro);
    DDX_Control(exchange, IDC_INSTRUCTION, m_lblInstruction);
    DDX_Control(exchange, IDC_HINT, m_lblHint);
    DDX_Control(exchange, IDC_PIC_DISPLAY, m_picDisplay);
    DDX_Control(exchange, IDC_PIC_WARNING, m_picWarning);
    DDX_Control(exchange, IDC_PROGRESS_LABEL, m_lblProgress);
}

BOOL CKestrupDlg::OnInitDialog() {
    CBitmapDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // Light text straight on the backdrop; the heading larger and bold.
    m_lblTitle.SetPointSize(11).SetBold(TRUE).SetTransparentPaint(TRUE).SetTextColour(
        CLR_WIZARD_TEXT);
    for (CLabel* label :
         {&m_lblMessage, &m_lblIntro, &m_lblInstruction, &m_lblHint, &m_lblVersion}) {
        label->SetTransparentPaint(TRUE).SetTextColour(CLR_WIZARD_TEXT);
    }
    m_lblVersionCaption.SetTextColour(CLR_WIZARD_TEXT).SetTransparentPaint(TRUE);
    m_lblProgress.SetTextColour(CLR_WIZARD_TEXT).SetTransparentPaint(TRUE);
    m_chkConnected.m_crText = CLR_WIZARD_TEXT;
    m_chkProgramsClosed.m_crText = CLR_WIZARD_TEXT;
    m_chkNoPowerDown.m_crText = CLR_WIZARD_TEXT;

    CString version;
    version.Format("%.3f", static_cast<double>(TARGET_FIRMWARE_VERSION));
    m_lblVersion.SetCaption(version);

    SkinWizardButton(m_btnCancel, IDB_CANCEL_ACTIVE, IDB_CANCEL, IDB_CANCEL_DISABLED,
                     ALIGN_IMAGE_LEFT);
    SkinWizardButton(m_btnNext, IDB_NEXT_ACTIVE, IDB_NEXT, IDB_NEXT_DISABLED, ALIGN_IMAGE_RIGHT);
    SkinWizardButton(m_btnBack, IDB_BACK_ACTIVE, IDB_BACK, IDB_BACK_DISABLED, ALIGN_IMAGE_LEFT);
    SetBackgroundBitmap(IDB_BACKGROUND, BITMAP_TILE);
    return TRUE;
}

void CKestrupDlg::OnCancel() {
    // The run keeps the window live by pumping its messages; a close request then must not
    // end the wizard under a half-flashed instrument.
    if (m_bUpdateRunning || !MayCloseLosingKeptValues()) {
        return;
    }
    // The user has let the kept values go: nothing holds log-off or shutdown any more.
    m_kept = KeptParameters{};
    UpdateShutdownBlock();
    CDialog::OnCancel();
}

bool CKestrupDlg::MayCloseLosingKeptValues() {
    if (!m_kept.Holds()) {
        return true;
    }
    // The instrument may now run the new firmware with factory parameters, and these values
    // are the only copy of its own: listed so the user can write them down.
    return AfxMessageBox(KeptValuesQuestion().c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2,
                         this) == IDYES;
}

std::string CKestrupDlg::KeptValuesQuestion() const {
    const auto ask = [](const std::string& listing) {
        return std::string(kFinishKeptQuestion) + "\n\n" + listing + "\n" + kFinishKeptQuestionEnd;
    };
    std::string question = ask(m_kept.Listing());
    if (FitsMessageBox(m_hWnd, question)) {
        return question;
    }
    // A box taller than the screen would hide the last values and the buttons: each set's
    // values run on in one paragraph instead, still a blank line between two sets.
    std::string listing;
    for (const KeptSet& set : m_kept.Sets()) {
        if (!listing.empty()) {
            listing += '\n';
        }
        listing += RunTogether(set.Listing());
    }
    return ask(listing);
}

BOOL CKestrupDlg::OnQueryEndSession() {
    return AtStake() == nullptr;
}

const char* CKestrupDlg::AtStake() const {
    if (m_bUpdateRunning) {
        return kShutdownBlockedRunning;
    }
    return m_kept.Holds() ? kShutdownBlockedKept : nullptr;
}

void CKestrupDlg::UpdateShutdownBlock() {
    const char* reason = AtStake();
    if (reason == nullptr) {
        m_hShutdownBlock.reset();
        return;
    }
    // A new reason replaces the one given before. Where Windows keeps no reasons (Wine), the
    // answer to WM_QUERYENDSESSION still holds the session.
    if (::ShutdownBlockReasonCreate(m_hWnd, Widened(reason).c_str())) {
        m_hShutdownBlock.reset(m_hWnd);
    }
}

void CKestrupDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(&client);
    dc.DrawIcon((client.Width() - iconWidth + 1) / 2, (client.Height() - iconHeight + 1) / 2,
                m_hIcon);
}

HCURSOR CKestrupDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

LRESULT CKestrupDlg::OnFlashStep(WPARAM step, LPARAM) {
    m_progress.SetPos(static_cast<int>(step) + FLASH_STEP_OFFSET);
    return 1;
}

bool CKestrupDlg::AllRequirementsConfirmed() const {
    // Any state but unchecked counts, an indeterminate box included.
    return m_chkConnected.GetCheck() != BST_UNCHECKED &&
           m_chkProgramsClosed.GetCheck() != BST_UNCHECKED &&
           m_chkNoPowerDown.GetCheck() != BST_UNCHECKED;
}

void CKestrupDlg::OnNext() {
    switch (m_nPage) {
        case PAGE_REQUIREMENTS:
            if (!AllRequirementsConfirmed()) {
                AfxMessageBox(kRequirementsNotConfirmed, MB_OK, this);
                return;
            }
            ShowAddressPage();
            break;
        case PAGE_ADDRESS:
            if (m_ipAddress.IsBlank()) {
                AfxMessageBox(kAddressBlank, MB_OK, this);
                return;
            }
            m_bUpdateRunning = true;
            UpdateShutdownBlock();
            StartUpdateRun();
            m_bUpdateRunning = false;
            UpdateShutdownBlock();
            break;
        case PAGE_RESULT:
            OnCancel();
            break;
        default:
            break;
    }
}

void CKestrupDlg::OnBack() {
    switch (m_nPage) {
        case PAGE_ADDRESS:
            ShowRequirementsPage();
            break;
        case PAGE_RESULT:
            ShowAddressPageAfterRun();
            break;
        default:
            break;
    }
}

void CKestrupDlg::ShowAddressPage() {
    m_lblTitle.SetCaption(kTitleAddress);
    m_lblMessage.SetCaption(kMessageAddress);
    m_chkConnected.ShowWindow(SW_HIDE);
    m_chkProgramsClosed.ShowWindow(SW_HIDE);
    m_chkNoPowerDown.ShowWindow(SW_HIDE);
    m_lblIntro.ShowWindow(SW_HIDE);
    m_lblInstruction.ShowWindow(SW_HIDE);
    m_lblHint.ShowWindow(SW_SHOW);
    m_picDisplay.ShowWindow(SW_SHOW);
    m_ipAddress.ShowWindow(SW_SHOW);
    m_btnBack.EnableWindow(TRUE);
    m_nPage = PAGE_ADDRESS;
}

void CKestrupDlg::ShowRequirementsPage() {
    m_lblTitle.SetCaption(kTitleRequirements);
    m_lblMessage.SetCaption(kMessageRequirements);
    m_lblInstruction.SetCaption(kInstructionRequirements);
    m_lblInstruction.SetPointSize(8).SetBold(FALSE);
    m_chkConnected.ShowWindow(SW_SHOW);
    m_chkProgramsClosed.ShowWindow(SW_SHOW);
    m_chkNoPowerDown.ShowWindow(SW_SHOW);
    m_lblIntro.ShowWindow(SW_SHOW);
    m_lblInstruction.ShowWindow(SW_SHOW);
    m_lblHint.ShowWindow(SW_HIDE);
    m_picDisplay.ShowWindow(SW_HIDE);
    m_ipAddress.ShowWindow(SW_HIDE);
    m_nPage = PAGE_REQUIREMENTS;
    m_btnBack.EnableWindow(FALSE);
}

void CKestrupDlg::ShowAddressPageAfterRun() {
    m_lblTitle.SetCaption(kTitleAddress);
    m_lblTitle.SetTextColour(CLR_WIZARD_TEXT);
    m_lblMessage.ModifyStyle(SS_CENTER, 0);
    m_lblMessage.SetCaption(kMessageAddress);
    m_progress.ShowWindow(SW_HIDE);
    m_picDisplay.ShowWindow(SW_SHOW);
    m_lblHint.ShowWindow(SW_SHOW);
    m_ipAddress.ShowWindow(SW_SHOW);
    m_picWarning.ShowWindow(SW_HIDE);
    m_btnNext.SetWindowText("&Next");
    m_btnNext.EnableWindow(TRUE);
    m_btnCancel.EnableWindow(TRUE);
    m_lblProgress.ShowWindow(SW_HIDE);
    m_nPage = PAGE_ADDRESS;
}

void CKestrupDlg::StartUpdateRun() {
    ShowRunningLayout();
    CWizardRunView view(*this, m_ipAddress, m_progress, m_lblMessage);
    bool updated = false;
    {
        // The device link and the frame exchange wait 1 ms at a time, which Windows otherwise
        // stretches to a whole timer tick. Finer ticks cost the whole PC power: only for the run.
        const platform::ScopedTimerResolution fineWaits;
        updated = RunUpdate(view, m_kept, m_runOptions);
    }
    ShowResultPage(updated);
}

void CKestrupDlg::ShowRunningLayout() {
    m_lblTitle.SetCaption(kTitleRunning);
    m_lblMessage.SetCaption(kMessageRunning);
    m_lblInstruction.SetCaption(kInstructionRunning);
    m_lblInstruction.SetPointSize(12).SetBold(TRUE);
    m_lblInstruction.ShowWindow(SW_SHOW);
    m_lblProgress.ShowWindow(SW_SHOW);
    m_progress.ShowWindow(SW_SHOW);
    m_picDisplay.ShowWindow(SW_HIDE);
    m_lblHint.ShowWindow(SW_HIDE);
    m_ipAddress.ShowWindow(SW_HIDE);
    m_picWarning.ShowWindow(SW_SHOW);
    // Nothing may start a second run or end the wizard under a half-flashed instrument.
    m_btnBack.EnableWindow(FALSE);
    m_btnNext.EnableWindow(FALSE);
    m_btnCancel.EnableWindow(FALSE);
}

void CKestrupDlg::ShowResultPage(bool updated) {
    if (updated) {
        m_lblTitle.SetCaption(kTitleFinished);
        m_lblMessage.SetCaption(kMessageFinished);
        m_btnBack.EnableWindow(FALSE);
        m_lblTitle.SetTextColour(CLR_WIZARD_SUCCESS);
    } else {
        // The run left the reason in the main label.
        m_lblTitle.SetCaption(kTitleFailed);
        m_lblTitle.SetTextColour(CLR_WIZARD_HOVER);
        m_btnBack.EnableWindow(TRUE);
    }
    m_lblMessage.ModifyStyle(0, SS_CENTER);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    m_btnNext.SetWindowText(kCaptionFinish);
    m_btnNext.EnableWindow(TRUE);
    m_lblProgress.ShowWindow(SW_HIDE);
    m_lblInstruction.ShowWindow(SW_HIDE);
    m_progress.ShowWindow(SW_HIDE);
    m_picWarning.ShowWindow(SW_HIDE);
    m_nPage = PAGE_RESULT;
}

// clang-format off
BEGIN_MESSAGE_MAP(CKestrupDlg, CBitmapDialog)
    MapPaint<&ThisClass::OnPaint>(),
    MapCtlColor<&ThisClass::OnCtlColor>(),
    MapQueryDragIcon<&ThisClass::OnQueryDragIcon>(),
    MapCommand<IDC_CANCEL, &ThisClass::OnCancel>(),
    MapMessage<WM_FLASH_STEP, &ThisClass::OnFlashStep>(),
    MapCommand<IDC_NEXT, &ThisClass::OnNext>(),
    MapCommand<IDC_BACK, &ThisClass::OnBack>(),
    MapQueryEndSession<&ThisClass::OnQueryEndSession>(),
END_MESSAGE_MAP()
// clang-format on
