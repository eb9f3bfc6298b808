// Reads the running wizard's state from outside, for the demo and the end-to-end runs:
//   wizard_probe state   prints "heading<TAB>main text<TAB>progress position<TAB>next enabled"
//   wizard_probe text ID prints the window text of the wizard's control ID
// Exits 1 while no wizard window is open.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resources/resource.h"

namespace {

constexpr const char* kWizardCaption = "Corvane Firmware Update Tool";

std::string ControlText(HWND dialog, int id) {
    const HWND control = ::GetDlgItem(dialog, id);
    if (control == nullptr) {
        return {};
    }
    char text[512] = {};
    ::GetWindowTextA(control, text, sizeof text);
    // One line per answer: the caller reads lines.
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == '\r' || *c == '\n' || *c == '\t') {
            *c = ' ';
        }
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const HWND dialog = ::FindWindowA("#32770", kWizardCaption);
    if (dialog == nullptr) {
        return 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "state") == 0) {
        const LRESULT position =
            ::SendMessageA(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0);
        const BOOL nextEnabled = ::IsWindowEnabled(::GetDlgItem(dialog, IDC_NEXT));
        std::printf("%s\t%s\t%ld\t%d\n", ControlText(dialog, IDC_TITLE).c_str(),
                    ControlText(dialog, IDC_MESSAGE).c_str(), static_cast<long>(position),
                    nextEnabled ? 1 : 0);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "text") == 0) {
        std::printf("%s\n", ControlText(dialog, std::atoi(argv[2])).c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: wizard_probe state | wizard_probe text ID\n");
    return 2;
}
