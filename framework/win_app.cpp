#include "framework/win_app.h"

#include <string>
#include <vector>

#include "framework/wnd.h"

namespace {
CWinApp* theApplication = nullptr;
}

CWinApp::CWinApp(const char* appName) {
    if (appName != nullptr) {
        m_appName = appName;
        m_pszAppName = m_appName.GetString();
    }
    theApplication = this;
}

CWinApp::~CWinApp() {
    if (theApplication == this) {
        theApplication = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg{};
    BOOL got = 0;
    while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    m_exitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return m_exitCode;
}

CWinApp* AfxGetApp() {
    return theApplication;
}

CString ExecutableBaseName() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // truncated: a long path
    }
    std::string name(path.begin(), path.end());
    if (const auto slash = name.find_last_of("\\/"); slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    if (name.size() > 4 && ::lstrcmpiA(name.c_str() + name.size() - 4, ".exe") == 0) {
        name.resize(name.size() - 4);
    }
    return CString(std::move(name));
}

const char* AfxGetAppName() {
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pszAppName != nullptr) {
        return app->m_pszAppName;
    }
    static const CString fallback = ExecutableBaseName();
    return fallback.GetString();
}

int AfxMessageBox(const char* text, UINT type, CWnd* owner) {
    HWND ownerWindow = owner != nullptr ? owner->GetSafeHwnd() : ::GetActiveWindow();
    return ::MessageBoxA(ownerWindow, text, AfxGetAppName(), type);
}

int AfxWinMain(HINSTANCE instance) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return -1;
    }
    app->m_hInstance = instance;
    if (app->m_pszAppName == nullptr) {
        app->m_pszAppName = AfxGetAppName();
    }
    if (!app->InitInstance()) {
        return app->ExitInstance();
    }
    return app->Run();
}
