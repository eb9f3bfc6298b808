// The wizard's check box: a standard automatic check box that leaves its background
// unpainted, so the dialog's picture shows around the box and behind its text, and draws
// the text in a colour its owner chooses.
#pragma once

#include "framework/button.h"
#include "skin/wizard_colours.h"

class TCheckBox : public CButton {
public:
    TCheckBox();
    ~TCheckBox() override;

    // Written directly by the owner before the box is first drawn.
    COLORREF m_crText = CLR_WIZARD_TEXT;

    DECLARE_MESSAGE_MAP()

protected:
    // The parent's colour request, reflected here: transparent text over a hollow brush.
    HBRUSH CtlColor(CDC& dc, UINT kind);
    // A colour request sent to the box itself: the text colour, then the usual answer.
    HBRUSH OnCtlColor(CDC& dc, CWnd& control, UINT kind);
    BOOL OnEraseBkgnd(CDC& dc);
};
