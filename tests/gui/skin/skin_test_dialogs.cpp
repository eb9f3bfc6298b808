#include "skin_test_dialogs.h"

BEGIN_MESSAGE_MAP(WizardLikeDialog, TestSkinDialog)
MapCtlColor<&CWnd::OnCtlColor>(), END_MESSAGE_MAP()
