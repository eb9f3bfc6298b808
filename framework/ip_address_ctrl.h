// The platform's IPv4 address control.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "framework/wnd.h"

class CIPAddressCtrl : public CWnd {
public:
    // True when all four fields are empty.
    BOOL IsBlank() const { return SendMessage(IPM_ISBLANK) != 0; }
    void ClearAddress() { SendMessage(IPM_CLEARADDRESS); }
    // The four fields, first octet first (an empty field reads as 0); returns how many of
    // the fields are filled in.
    int GetAddress(BYTE& first, BYTE& second, BYTE& third, BYTE& fourth) const {
        DWORD address = 0;
        const int filled =
            static_cast<int>(SendMessage(IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
        first = static_cast<BYTE>(FIRST_IPADDRESS(address));
        second = static_cast<BYTE>(SECOND_IPADDRESS(address));
        third = static_cast<BYTE>(THIRD_IPADDRESS(address));
        fourth = static_cast<BYTE>(FOURTH_IPADDRESS(address));
        return filled;
    }
    void SetAddress(BYTE first, BYTE second, BYTE third, BYTE fourth) {
        SendMessage(IPM_SETADDRESS, 0,
                    static_cast<LPARAM>(MAKEIPADDRESS(first, second, third, fourth)));
    }
    void SetFieldFocus(WORD field) { SendMessage(IPM_SETFOCUS, field); }
};
