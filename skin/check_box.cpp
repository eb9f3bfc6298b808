#include "skin/check_box.h"

#include "framework/message_map_entries.h"

// clang-format off
BEGIN_MESSAGE_MAP(TCheckBox, CButton)
    MapReflectedCtlColor<&ThisClass::CtlColor>(),
    MapCtlColor<&ThisClass::OnCtlColor>(),
    MapEraseBkgnd<&ThisClass::OnEraseBkgnd>(),
END_MESSAGE_MAP()
// clang-format on

TCheckBox::TCheckBox() = default;
TCheckBox::~TCheckBox() = default;

HBRUSH TCheckBox::CtlColor(CDC& dc, UINT) {
    dc.SetTextColor(m_crText);
    dc.SetBkMode(TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

HBRUSH TCheckBox::OnCtlColor(CDC& dc, CWnd& control, UINT kind) {
    dc.SetTextColor(m_crText);
    return CButton::OnCtlColor(dc, control, kind);
}

BOOL TCheckBox::OnEraseBkgnd(CDC&) {
    return TRUE;
}
