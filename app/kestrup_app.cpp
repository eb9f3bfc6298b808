#include "app/kestrup_app.h"

#include <windows.h>

#include <commctrl.h>

#include "app/kestrup_dlg.h"

CKestrupApp::CKestrupApp() = default;
CKestrupApp::~CKestrupApp() = default;

BOOL CKestrupApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;  // every control class of the Windows 95 set
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, kInstanceMutexName);
    const DWORD error = ::GetLastError();  // before anything else can overwrite it
    m_instanceMutex.reset(mutex);
    // A name that exists but may not be opened (a copy started with other rights) is held
    // by a running copy just the same: two copies must never flash one instrument. Any other
    // failure to create the mutex is not a second copy; the wizard runs.
    const bool heldElsewhere = !m_instanceMutex && error == ERROR_ACCESS_DENIED;
    if (error == ERROR_ALREADY_EXISTS || heldElsewhere) {
        AfxMessageBox("Corvane firmware update tool is already running!", MB_OK);
        return FALSE;
    }

    CKestrupDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
