// Catches the message boxes that the calling thread opens while the watcher lives: each is
// recorded (caption, text, owner) and answered (OK unless told otherwise) as soon as it has been
// set up, so a test can press a button that shows a box and then look at what it said.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace corvane::test {

struct SeenMessageBox {
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    RECT rect{};  // on the screen, as the box laid itself out
};

class MessageBoxWatcher {
public:
    // `ignore`: a dialog of the test's own (also class #32770) that is not a message box.
    // `answer`: the button pressed in every box, e.g. IDNO for a question.
    explicit MessageBoxWatcher(HWND ignore = nullptr, int answer = IDOK);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    const std::vector<SeenMessageBox>& Seen() const { return seen_; }
    void SetAnswer(int answer) { answer_ = answer; }
    // True when a box had to be closed by the safety deadline instead of on sight.
    bool MissedAny() const { return missed_; }

private:
    static LRESULT CALLBACK OnCallWndProcRet(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnDeadline(HWND, UINT, UINT_PTR, DWORD);

    HWND ignore_;
    int answer_;
    HHOOK hook_ = nullptr;
    UINT_PTR deadline_ = 0;
    std::vector<SeenMessageBox> seen_;
    bool missed_ = false;
};

// The text of a message box (its static text control), read from any process.
std::string MessageBoxText(HWND box);
std::string WindowText(HWND window);
std::string ClassName(HWND window);

}  // namespace corvane::test
