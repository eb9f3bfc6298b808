// Reads the running wizard's state from outside, for the demo and the end-to-end runs:
//   wizard_probe state   prints "heading<TAB>main text<TAB>progress position<TAB>next enabled"
//   wizard_probe text ID prints the window text of the wizard's control ID
//   wizard_probe box     prints the text of the message box the wizard shows, line by line
//   wizard_probe box-button ID
//                        prints "X Y", the screen position of the centre of that box's button
// Exits 1 while no wizard window (for the box commands: no message box) is open.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "resources/resource.h"

namespace {

constexpr const char* kWizardCaption = "Corvane Firmware Update Tool";

std::string WindowText(HWND window) {
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string ControlText(HWND dialog, int id) {
    const HWND control = ::GetDlgItem(dialog, id);
    if (control == nullptr) {
        return {};
    }
    std::string text = WindowText(control);
    // One line per answer: the caller reads lines.
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

// The message box the wizard has open: a dialog the wizard owns.
HWND FindMessageBox(HWND wizard) {
    struct Search {
        HWND owner;
        HWND found;
    } search{wizard, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            char className[16] = {};
            ::GetClassNameA(window, className, sizeof className);
            if (std::strcmp(className, "#32770") != 0 || ::GetWindow(window, GW_OWNER) != s.owner ||
                !::IsWindowVisible(window)) {
                return TRUE;
            }
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A message box's text is its one static control that holds text (the other shows the icon).
std::string MessageBoxText(HWND box) {
    std::string text;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            char className[16] = {};
            ::GetClassNameA(child, className, sizeof className);
            std::string own = WindowText(child);
            if (_stricmp(className, "Static") != 0 || own.empty()) {
                return TRUE;
            }
            *reinterpret_cast<std::string*>(param) = std::move(own);
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

int PrintState(HWND dialog) {
    const LRESULT position = ::SendMessageA(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0);
    const BOOL nextEnabled = ::IsWindowEnabled(::GetDlgItem(dialog, IDC_NEXT));
    std::printf("%s\t%s\t%ld\t%d\n", ControlText(dialog, IDC_TITLE).c_str(),
                ControlText(dialog, IDC_MESSAGE).c_str(), static_cast<long>(position),
                nextEnabled ? 1 : 0);
    return 0;
}

int PrintButtonCentre(HWND box, int id) {
    RECT rect{};
    const HWND button = ::GetDlgItem(box, id);
    if (button == nullptr || !::GetWindowRect(button, &rect)) {
        return 1;
    }
    std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const HWND dialog = ::FindWindowA("#32770", kWizardCaption);
    if (dialog == nullptr) {
        return 1;
    }
    const std::string command = argc >= 2 ? argv[1] : "";
    if (argc == 2 && command == "state") {
        return PrintState(dialog);
    }
    if (argc == 3 && command == "text") {
        std::printf("%s\n", ControlText(dialog, std::atoi(argv[2])).c_str());
        return 0;
    }
    if ((argc == 2 && command == "box") || (argc == 3 && command == "box-button")) {
        const HWND box = FindMessageBox(dialog);
        if (box == nullptr) {
            return 1;
        }
        if (argc == 3) {
            return PrintButtonCentre(box, std::atoi(argv[2]));
        }
        std::printf("%s\n", MessageBoxText(box).c_str());
        return 0;
    }
    std::fprintf(stderr,
                 "usage: wizard_probe state | wizard_probe text ID | wizard_probe box | "
                 "wizard_probe box-button ID\n");
    return 2;
}
