#include "tests/gui/gui_support/message_box_watcher.h"

namespace corvane::test {

namespace {
thread_local MessageBoxWatcher* activeWatcher = nullptr;
// Message boxes keep their text in a static control with this id.
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr UINT kDeadlineMs = 20000;

bool IsForeignDialog(HWND window, HWND ignore) {
    return window != ignore && ClassName(window) == "#32770";
}
}  // namespace

std::string WindowText(HWND window) {
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string ClassName(HWND window) {
    char buffer[256] = {};
    ::GetClassNameA(window, buffer, sizeof(buffer));
    return buffer;
}

std::string MessageBoxText(HWND box) {
    if (HWND text = ::GetDlgItem(box, kMessageBoxTextId); text != nullptr) {
        return WindowText(text);
    }
    // Not where Windows keeps it: take the first static with text.
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::lstrcmpiA(ClassName(child).c_str(), "Static") == 0 && !WindowText(child).empty()) {
            return WindowText(child);
        }
    }
    return {};
}

MessageBoxWatcher::MessageBoxWatcher(HWND ignore, int answer) : ignore_(ignore), answer_(answer) {
    activeWatcher = this;
    hook_ =
        ::SetWindowsHookExA(WH_CALLWNDPROCRET, &OnCallWndProcRet, nullptr, ::GetCurrentThreadId());
    // Only a safety net: a box that the hook somehow missed must fail the test, not hang it.
    deadline_ = ::SetTimer(nullptr, 0, kDeadlineMs, &OnDeadline);
}

MessageBoxWatcher::~MessageBoxWatcher() {
    if (deadline_ != 0) {
        ::KillTimer(nullptr, deadline_);
    }
    if (hook_ != nullptr) {
        ::UnhookWindowsHookEx(hook_);
    }
    activeWatcher = nullptr;
}

LRESULT CALLBACK MessageBoxWatcher::OnCallWndProcRet(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    MessageBoxWatcher* self = activeWatcher;
    if (code >= 0 && self != nullptr && call != nullptr && call->message == WM_INITDIALOG &&
        IsForeignDialog(call->hwnd, self->ignore_)) {
        self->seen_.push_back({WindowText(call->hwnd), MessageBoxText(call->hwnd),
                               ::GetWindow(call->hwnd, GW_OWNER)});
        ::GetWindowRect(call->hwnd, &self->seen_.back().rect);
        ::PostMessageA(call->hwnd, WM_COMMAND, static_cast<WPARAM>(self->answer_), 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK MessageBoxWatcher::OnDeadline(HWND, UINT, UINT_PTR, DWORD) {
    MessageBoxWatcher* self = activeWatcher;
    if (self == nullptr) {
        return;
    }
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* watcher = reinterpret_cast<MessageBoxWatcher*>(param);
            if (IsForeignDialog(window, watcher->ignore_)) {
                watcher->missed_ = true;
                ::PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(watcher->answer_), 0);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(self));
}

}  // namespace corvane::test
