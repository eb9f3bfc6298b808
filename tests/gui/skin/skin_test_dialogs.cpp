#include "skin_test_dialogs.h"

// clang-format off
BEGIN_MESSAGE_MAP(WizardLikeDialog, TestSkinDialog)
    MapCtlColor<&CWnd::OnCtlColor>(),
END_MESSAGE_MAP()
// clang-format on
