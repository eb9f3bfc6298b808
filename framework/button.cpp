#include "framework/button.h"

#include "framework/message_map_entries.h"

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

// clang-format off
BEGIN_MESSAGE_MAP(CButton, CWnd)
    MapReflectedDrawItem<&ThisClass::OnReflectedDrawItem>(),
END_MESSAGE_MAP()
// clang-format on
