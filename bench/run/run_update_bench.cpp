// The whole update run against the in-process simulated controller, as figures beside their
// bounds measured in the same run:
//   - a complete run with a controller that reboots in 0 ms, as a ratio to the sum of the fixed
//     waits the run asked for (the part of its time that is no work at all);
//   - the peak resident memory of a process that does one complete run, as a ratio to the same
//     program started and ended without a run (each in a fresh process of its own);
//   - a run whose phases are each driven to (or close to) their limits, with the limits
//     shortened, as a ratio to the worst case the run documents for those limits.
// Prints figures; never fails. Uses 127.<CORVANE_TEST_SUBNET>.250.x, outside the test range.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "app/run_progress.h"
#include "app/update_run.h"
#include "device/device_timing.h"
#include "device/notify_progress.h"
#include "ads/ads_client_testing.h"
#include "platform/sleeper.h"
#include "platform/window_message.h"
#include "sim/controller.h"
#include "transfer/flash_firmware.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;
using std::chrono::milliseconds;

constexpr int kTimedRuns = 5;

platform::Ipv4 BenchAddress(uint8_t host) {
    const char* subnet = std::getenv("CORVANE_TEST_SUBNET");
    const long n = subnet != nullptr ? std::strtol(subnet, nullptr, 10) : 0;
    return {127, static_cast<uint8_t>(n >= 1 && n <= 254 ? n : 0), 250, host};
}

// The wizard's part, reduced to what the run needs: an address and a window for the steps.
class BenchView : public UpdateRunView {
public:
    explicit BenchView(platform::Ipv4 address)
        : address_(address), window_(platform::CreateTestWindow()) {}
    ~BenchView() override { platform::DestroyTestWindow(window_); }
    BenchView(const BenchView&) = delete;
    BenchView& operator=(const BenchView&) = delete;

    std::array<uint8_t, 4> ReadAddress() override { return address_; }
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int position) override {
        if (onPosition) {
            onPosition(position);
        }
    }
    void SetMessageText(const std::string& text) override { message = text; }
    platform::WindowHandle WindowHandle() override { return window_; }
    void PumpPendingMessages() override { platform::PumpAllMessages(); }
    bool ConfirmWriteKept(const std::string&) override { return true; }

    std::string message;
    std::function<void(int)> onPosition;

private:
    platform::Ipv4 address_;
    platform::WindowHandle window_;
};

bool UpdateOnce(platform::Ipv4 address, std::string& message, int* transfers = nullptr) {
    BenchView view(address);
    UpdateRunOptions options;
    options.flash = [transfers](int a, int b, int c, int d, auto notAfter, FlashReport& report) {
        if (transfers != nullptr) {
            ++*transfers;
        }
        return FlashFirmware(a, b, c, d, SystemLocalAddressSource(), notAfter, report);
    };
    const bool ok = RunUpdate(view, options);
    ProgressWindow = nullptr;
    message = view.message;
    return ok;
}

struct RunFigures {
    double runMs = 0.0;
    double fixedWaitMs = 0.0;
    double transfers = 0.0;  // per run
    std::string failure;
};

// Complete runs with the real fixed waits, each against an instrument that still has its old
// firmware; the sleeper only adds up what it was asked to wait.
RunFigures TimeRuns() {
    RunFigures figures;
    AdsClientResetForTests();
    sim::Options options;
    options.listen = BenchAddress(1);
    options.rebootMs = 0;
    sim::Controller controller(options);
    if (!controller.Start()) {
        figures.failure = controller.LastError();
        return figures;
    }
    milliseconds requested{0};
    platform::ScopedFixedSleeper sleeper([&requested](milliseconds wait) {
        requested += wait;
        std::this_thread::sleep_for(wait);
    });
    double total = 0.0;
    int transfers = 0;
    for (int i = 0; i < kTimedRuns; ++i) {
        controller.SetFirmware(3, 1);
        std::string message;
        const auto start = Clock::now();
        const bool ok = UpdateOnce(options.listen, message, &transfers);
        total += duration<double, std::milli>(Clock::now() - start).count();
        if (!ok) {
            figures.failure = "run failed: " + message;
            return figures;
        }
    }
    figures.runMs = total / kTimedRuns;
    figures.fixedWaitMs = static_cast<double>(requested.count()) / kTimedRuns;
    figures.transfers = static_cast<double>(transfers) / kTimedRuns;
    return figures;
}

struct WorstCaseFigures {
    double runMs = 0.0;
    double boundMs = 0.0;
    std::string outcome;
};

// Every limit of the run a twentieth of its own. Saving goes against replies slow enough to
// fill most of its phase and a release that is never answered; the transfer against an
// install that keeps the old firmware answering for most of its phase; the restore against a
// mailbox gone silent, so it runs into its limit.
WorstCaseFigures TimeWorstCaseRun() {
    static constexpr int kDivisor = 20;
    const RunTiming timing = RunTiming{}.Shortened(kDivisor);
    device::ScopedDeviceTimingForTesting limits(device::kExchangeTimeLimit / kDivisor,
                                                device::kWorkerEndWait);
    platform::ScopedFixedSleeper sleeper(
        [](milliseconds wait) { std::this_thread::sleep_for(wait / kDivisor); });
    AdsClientResetForTests();
    sim::Options options;
    options.listen = BenchAddress(3);
    options.rebootMs = 0;
    options.faults.delayMs = static_cast<int>(timing.save.count() / 60);
    options.faults.releaseSilent = true;
    sim::Controller controller(options);
    WorstCaseFigures figures;
    if (!controller.Start()) {
        figures.outcome = controller.LastError();
        return figures;
    }
    BenchView view(options.listen);
    view.onPosition = [&](int position) {
        sim::Faults faults;
        if (position == POSITION_SETTLING) {
            faults.installMs = static_cast<int>(timing.transfer.count() * 3 / 4);
            controller.SetFaults(faults);
        } else if (position == POSITION_FIRST_RESTORED) {
            faults.mailboxSilent = true;
            controller.SetFaults(faults);
        }
    };
    UpdateRunOptions runOptions;
    runOptions.timing = timing;
    const auto start = Clock::now();
    const bool ok = RunUpdate(view, runOptions);
    figures.runMs = duration<double, std::milli>(Clock::now() - start).count();
    figures.boundMs = duration<double, std::milli>(RunWorstCase(timing)).count();
    figures.outcome = ok ? "updated" : view.message;
    ProgressWindow = nullptr;
    return figures;
}

// The child's part: one complete run against the controller the parent serves (or none).
int ChildMain(bool doRun, platform::Ipv4 address) {
    if (!doRun) {
        return 0;
    }
    // Shortened, not skipped: a retry pause must still outlast the controller's reboot.
    platform::ScopedFixedSleeper sleeper(
        [](milliseconds wait) { std::this_thread::sleep_for(wait / 20); });
    std::string message;
    return UpdateOnce(address, message) ? 0 : 1;
}

// Peak resident kilobytes of a fresh process of this program, or nothing when it failed.
std::optional<long> ChildPeakKb(bool doRun, platform::Ipv4 address) {
    const std::string target = std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
                               std::to_string(address[2]) + "." + std::to_string(address[3]);
    const pid_t pid = fork();
    if (pid < 0) {
        return std::nullopt;
    }
    if (pid == 0) {
        const char* mode = doRun ? "--child-run" : "--child-idle";
        execl("/proc/self/exe", "run_update_bench", mode, target.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return usage.ru_maxrss;  // kilobytes on Linux
}

struct MemoryFigures {
    std::optional<long> runKb;
    std::optional<long> idleKb;
};

MemoryFigures MeasureMemory() {
    MemoryFigures figures;
    sim::Options options;
    options.listen = BenchAddress(2);
    options.rebootMs = 0;
    sim::Controller controller(options);
    if (!controller.Start()) {
        return figures;
    }
    figures.idleKb = ChildPeakKb(false, options.listen);
    figures.runKb = ChildPeakKb(true, options.listen);
    return figures;
}

std::optional<platform::Ipv4> ParseAddress(const char* text) {
    std::array<unsigned, 4> o{};
    if (std::sscanf(text, "%u.%u.%u.%u", &o[0], &o[1], &o[2], &o[3]) != 4) {
        return std::nullopt;
    }
    return platform::Ipv4{static_cast<uint8_t>(o[0]), static_cast<uint8_t>(o[1]),
                          static_cast<uint8_t>(o[2]), static_cast<uint8_t>(o[3])};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 &&
        (std::strcmp(argv[1], "--child-run") == 0 || std::strcmp(argv[1], "--child-idle") == 0)) {
        const auto address = ParseAddress(argv[2]);
        return address ? ChildMain(std::strcmp(argv[1], "--child-run") == 0, *address) : 2;
    }

    const RunFigures run = TimeRuns();
    if (run.failure.empty()) {
        std::printf(
            "update run, reboot 0 ms:            %8.1f ms  = %6.3f x fixed waits (%.0f ms; %.1f "
            "transfers a run)\n",
            run.runMs, run.runMs / run.fixedWaitMs, run.fixedWaitMs, run.transfers);
    } else {
        std::printf("update run, reboot 0 ms:            not measured (%s)\n", run.failure.c_str());
    }

    const WorstCaseFigures worst = TimeWorstCaseRun();
    if (worst.boundMs > 0) {
        std::printf(
            "worst-case run, every phase at its deadline (shortened timings): %8.1f ms  = "
            "%6.3f x documented bound (%.0f ms; ended: %s)\n",
            worst.runMs, worst.runMs / worst.boundMs, worst.boundMs, worst.outcome.c_str());
    } else {
        std::printf(
            "worst-case run, every phase at its deadline (shortened timings): not "
            "measured (%s)\n",
            worst.outcome.c_str());
    }

    const MemoryFigures memory = MeasureMemory();
    if (memory.runKb && memory.idleKb) {
        std::printf(
            "peak resident memory, update run:   %8.1f MB  = %6.2f x idle process (%.1f MB)\n",
            static_cast<double>(*memory.runKb) / 1024.0,
            static_cast<double>(*memory.runKb) / static_cast<double>(*memory.idleKb),
            static_cast<double>(*memory.idleKb) / 1024.0);
    } else {
        std::printf("peak resident memory, update run:   not measured (the child run failed)\n");
    }
    return 0;
}
