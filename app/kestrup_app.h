// The application object: one copy of the wizard at a time, common controls, the wizard
// dialog run modally; the process ends when the dialog closes.
#pragma once

#include "framework/unique_handle.h"
#include "framework/win_app.h"

// The name that tells a second copy that the wizard already runs; no namespace prefix, so
// it is per session.
inline constexpr const char* kInstanceMutexName = "CORVANEKESTRUP";

class CKestrupApp : public CWinApp {
public:
    CKestrupApp();
    ~CKestrupApp() override;

    // Always false: the process has no message loop besides the dialog's.
    BOOL InitInstance() override;

private:
    // Held until the process ends, so the name stays claimed exactly as long as we run.
    UniqueKernelHandle m_instanceMutex;
};
