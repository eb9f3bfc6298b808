// The application object: exactly one per process. AfxWinMain runs its InitInstance once;
// a false result ends the process without a message loop of its own.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CWnd;

class CWinApp {
public:
    // Without a name the application is named after the executable's base file name.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // The message loop, entered only when InitInstance succeeded; ends at WM_QUIT.
    virtual int Run();
    // The process's exit code.
    virtual int ExitInstance();

    HINSTANCE m_hInstance = nullptr;
    const char* m_pszAppName = nullptr;
    CWnd* m_pMainWnd = nullptr;

private:
    CString m_appName;
    int m_exitCode = 0;
};

CWinApp* AfxGetApp();
// The application's name: the caption of every message box of the program.
const char* AfxGetAppName();
// Shows `text` with the application's name as caption, owned by `owner` (by the thread's
// active window when null); returns the button pressed.
int AfxMessageBox(const char* text, UINT type = MB_OK, CWnd* owner = nullptr);
// The executable's file name without its directory and without ".exe".
CString ExecutableBaseName();
// Runs the one application object; WinMain returns its result.
int AfxWinMain(HINSTANCE instance);
