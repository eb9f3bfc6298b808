#include "tests/unit/faults/run_harness.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "app/wizard_constants.h"
#include "device/device_messages.h"
#include "device/notify_progress.h"
#include "tests/support/test_address.h"

namespace corvane::test {

HarnessView::HarnessView(std::array<uint8_t, 4> address) : address_(address) {
    window_ = platform::CreateTestWindow([this](const platform::WindowMessage& m) {
        if (m.message == WM_FLASH_STEP) {
            position_ = static_cast<int>(m.wParam) + FLASH_STEP_OFFSET;
        }
    });
}

HarnessView::~HarnessView() {
    platform::DestroyTestWindow(window_);
}

void HarnessView::PumpPendingMessages() {
    platform::PumpAllMessages();
}

bool HarnessView::ConfirmWriteKept(const std::string& question) {
    questions.push_back(question);
    return answer;
}

void GiveKnownParameters(sim::Controller& instrument, KnownValues values) {
    std::array<float, 9> floats{-7.5f, 1.0e-6f,   -1.0f,  65535.25f, 0.0f,
                                3.75f, -0.03125f, 2.5e6f, 19.0f};
    for (int id = 0; id <= 8; ++id) {
        if (id != 4) {
            instrument.SetFloatParameter(id, values == KnownValues::kFactoryFloats
                                                 ? sim::Controller::FactoryFloatParameter(id)
                                                 : floats[static_cast<size_t>(id)]);
        }
    }
    const bool edge = values == KnownValues::kIntegerEdges;
    // Beyond a float's 24-bit mantissa, and the lowest 16-bit value.
    instrument.SetIntParameter(4, edge ? -32768 : -321);
    instrument.SetIntParameter(11, edge ? 16777217 : 7200001);
}

CarriedParameters ReadCarried(const sim::Controller& instrument) {
    CarriedParameters p;
    for (int id = 0; id <= 8; ++id) {
        if (id != 4) {
            p.floats[static_cast<size_t>(id)] = instrument.FloatParameter(id);
        }
    }
    p.param4 = instrument.IntParameter(4);
    p.param11 = instrument.IntParameter(11);
    return p;
}

std::string Describe(const CarriedParameters& p) {
    std::ostringstream out;
    for (int id = 0; id <= 8; ++id) {
        if (id != 4) {
            out << id << "=" << p.floats[static_cast<size_t>(id)] << " ";
        }
    }
    out << "4=" << p.param4 << " 11=" << p.param11;
    return out.str();
}

namespace {

bool LogAsked() {
    const char* asked = std::getenv("CORVANE_SIM_LOG");
    return asked != nullptr && *asked != '\0';
}

// One line to stderr after who wrote it and a millisecond time stamp.
void LogLine(const std::string& who, const std::string& line) {
    static const auto start = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    // One write per line, so lines from the instruments' threads never interleave.
    const std::string text = who + std::to_string(ms.count()) + " ms  " + line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

void LogEventsIfAsked(sim::Options& options) {
    if (!LogAsked()) {
        return;
    }
    const std::string address =
        FormatOctets(options.listen) + ":" + std::to_string(options.port) + " ";
    options.onEvent = [address, next = std::move(options.onEvent)](const std::string& line) {
        if (next) {
            next(line);
        }
        LogLine(address, line);
    };
}

device::DeviceTiming ShortenedDeviceTiming(int divisor, std::chrono::milliseconds exchangeLimit) {
    device::DeviceTiming timing;
    timing.adsCallTimeout /= divisor;
    timing.exchangeTimeLimit = exchangeLimit;
    timing.workerEndWait /= divisor;
    timing.flashQuietLimit /= divisor;
    timing.flashDownloadLimit /= divisor;
    return timing;
}

RunResult RunWholeUpdate(const std::array<uint8_t, 4>& address, KeptParameters& kept,
                         const RunTiming& timing, const LocalAddressSource& local,
                         const std::function<void()>& beforeEachTransfer, bool writeKept) {
    HarnessView view(address);
    view.answer = writeKept;
    RunResult result;
    UpdateRunOptions options;
    options.flash = [&](int a, int b, int c, int d, auto notAfter, FlashReport& report) {
        if (beforeEachTransfer) {
            beforeEachTransfer();
        }
        ++result.transfers;
        return FlashFirmware(a, b, c, d, local, notAfter, report);
    };
    options.timing = timing;
    if (LogAsked()) {
        // The run's decisions among the instrument's events, each as its rule reads.
        options.onDecision = [who = "run " + FormatOctets(address) + " "](const char* rule) {
            LogLine(who, rule);
        };
    }
    const auto start = std::chrono::steady_clock::now();
    result.ok = RunUpdate(view, kept, options);
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (!view.Messages().empty()) {
        result.message = view.Messages().back();
    }
    result.position = view.Position();
    result.questions = view.questions;
    // The view's window goes with it; nothing may post to it afterwards.
    ProgressWindow = nullptr;
    return result;
}

}  // namespace corvane::test
