// The dialog's data exchange: here only the binding of member controls to template controls.
#pragma once

#include <windows.h>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds `control` to the dialog's control `id` once; later exchanges leave it alone.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
