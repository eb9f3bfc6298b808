// The real Kestrup.exe started more than once: only one copy runs at a time.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/gui/gui_support/message_box_watcher.h"

namespace corvane::test {
namespace {

constexpr DWORD kStartDeadlineMs = 60000;
constexpr DWORD kExitDeadlineMs = 20000;

class Copy {
public:
    Copy() {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string commandLine = std::string("\"") + CORVANE_KESTRUP_EXE + "\"";
        started_ = ::CreateProcessA(CORVANE_KESTRUP_EXE, commandLine.data(), nullptr, nullptr,
                                    FALSE, 0, nullptr, nullptr, &startup, &process_) != FALSE;
    }
    ~Copy() {
        if (started_) {
            if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(process_.hProcess, 99);  // never leave a copy behind
                ::WaitForSingleObject(process_.hProcess, kExitDeadlineMs);
            }
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
        }
    }
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    bool Started() const { return started_; }

    std::vector<HWND> Windows() const {
        struct Search {
            DWORD pid;
            std::vector<HWND> found;
        } search{process_.dwProcessId, {}};
        ::EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(window, &pid);
                if (pid == s->pid && ::IsWindowVisible(window)) {
                    s->found.push_back(window);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // The first visible top-level window of this copy that `match` accepts, waiting until
    // one appears, the copy ends, or the deadline passes.
    HWND WaitForWindow(const std::function<bool(HWND)>& match) const {
        ::WaitForInputIdle(process_.hProcess, kStartDeadlineMs);
        const ULONGLONG deadline = ::GetTickCount64() + kStartDeadlineMs;
        for (;;) {
            for (HWND window : Windows()) {
                if (match(window)) {
                    return window;
                }
            }
            if (::GetTickCount64() >= deadline ||
                ::WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) {
                return nullptr;
            }
        }
    }

    // The exit code, or -1 when the copy did not end in time.
    long WaitForExit() const {
        if (::WaitForSingleObject(process_.hProcess, kExitDeadlineMs) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

bool IsWizard(HWND window) {
    return WindowText(window) == "Corvane Firmware Update Tool";
}
bool IsMessageBox(HWND window) {
    return ClassName(window) == "#32770" && !IsWizard(window);
}

void PressCancel(HWND wizard) {
    ::PostMessageA(::GetDlgItem(wizard, IDC_CANCEL), BM_CLICK, 0, 0);
}

TEST(SingleInstance, OnlyOneCopyRunsAndTheNameIsFreedWhenItEnds) {
    Copy first;
    ASSERT_TRUE(first.Started());
    const HWND wizard = first.WaitForWindow(IsWizard);
    ASSERT_NE(wizard, nullptr);
    // Something the user did in the first copy, to see that it stays.
    ::SendMessageA(::GetDlgItem(wizard, IDC_CHK_CONNECTED), BM_CLICK, 0, 0);
    ASSERT_EQ(::SendMessageA(::GetDlgItem(wizard, IDC_CHK_CONNECTED), BM_GETCHECK, 0, 0),
              BST_CHECKED);

    {
        Copy second;
        ASSERT_TRUE(second.Started());
        const HWND box = second.WaitForWindow(IsMessageBox);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(WindowText(box), "Kestrup");
        EXPECT_EQ(MessageBoxText(box), "Corvane firmware update tool is already running!");
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
        for (HWND window : second.Windows()) {
            EXPECT_FALSE(IsWizard(window)) << "the second copy shows no wizard";
        }
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(second.WaitForExit(), 0);
    }

    // The first copy carries on as it was.
    ASSERT_TRUE(::IsWindow(wizard));
    EXPECT_TRUE(::IsWindowVisible(wizard));
    EXPECT_TRUE(::IsWindowEnabled(wizard));
    EXPECT_EQ(WindowText(::GetDlgItem(wizard, IDC_TITLE)),
              "Welcome to Tolvik Corvane Firmware Update");
    EXPECT_EQ(::SendMessageA(::GetDlgItem(wizard, IDC_CHK_CONNECTED), BM_GETCHECK, 0, 0),
              BST_CHECKED);
    PressCancel(wizard);
    EXPECT_EQ(first.WaitForExit(), 0);

    // Once the first copy has ended, a new one starts normally.
    Copy third;
    ASSERT_TRUE(third.Started());
    const HWND again = third.WaitForWindow(IsWizard);
    ASSERT_NE(again, nullptr);
    for (HWND window : third.Windows()) {
        EXPECT_FALSE(IsMessageBox(window)) << WindowText(window);
    }
    PressCancel(again);
    EXPECT_EQ(third.WaitForExit(), 0);
}

TEST(SingleInstance, ANameHeldWithoutAccessForUsAlsoTurnsTheCopyAway) {
    // As a copy started with higher rights holds it: the name exists, opening it is denied.
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ACL denyAll{};
    ASSERT_TRUE(::InitializeAcl(&denyAll, sizeof(denyAll), ACL_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, &denyAll, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    const HANDLE held = ::CreateMutexA(&attributes, FALSE, "CORVANEKESTRUP");
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(::CreateMutexA(nullptr, FALSE, "CORVANEKESTRUP"), nullptr);
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    {
        Copy copy;
        ASSERT_TRUE(copy.Started());
        const HWND box = copy.WaitForWindow(
            [](HWND window) { return IsMessageBox(window) || IsWizard(window); });
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(IsMessageBox(box)) << "the copy showed the wizard";
        EXPECT_EQ(MessageBoxText(box), "Corvane firmware update tool is already running!");
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        if (IsWizard(box)) {
            PressCancel(box);
        }
        EXPECT_EQ(copy.WaitForExit(), 0);
    }
    ::CloseHandle(held);

    // With the name free again, the program starts normally.
    Copy next;
    ASSERT_TRUE(next.Started());
    const HWND wizard = next.WaitForWindow(IsWizard);
    ASSERT_NE(wizard, nullptr);
    PressCancel(wizard);
    EXPECT_EQ(next.WaitForExit(), 0);
}

}  // namespace
}  // namespace corvane::test
