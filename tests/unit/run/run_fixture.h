// What the update-run tests share: a stand-in for the wizard's window that records what the run
// shows, a simulated instrument on the test's own loopback address, and shortened fixed waits.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/kept_parameters.h"
#include "app/update_run.h"
#include "platform/sleeper.h"
#include "platform/window_message.h"
#include "sim/controller.h"

namespace corvane::test {

// A window of the calling thread whose dispatched messages go to `onMessage`: the stand-in
// queue's window natively, a message-only window on Windows.
class TestWindow {
public:
    using Handler = std::function<void(const platform::WindowMessage&)>;
    explicit TestWindow(Handler onMessage);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    platform::WindowHandle handle() const { return window_; }

private:
    Handler onMessage_;
    platform::WindowHandle window_ = nullptr;
};

// The wizard's side of the run: flash steps posted to its window move the bar as the dialog's
// handler does, and every position the bar takes is kept in order.
class RecordingView : public UpdateRunView {
public:
    explicit RecordingView(std::array<uint8_t, 4> address);
    ~RecordingView() override = default;
    RecordingView(const RecordingView&) = delete;
    RecordingView& operator=(const RecordingView&) = delete;

    std::array<uint8_t, 4> ReadAddress() override { return address_; }
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    void SetMessageText(const std::string& text) override { messages.push_back(text); }
    platform::WindowHandle WindowHandle() override { return window_.handle(); }
    void PumpPendingMessages() override;
    bool ConfirmWriteKept(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }

    int Position() const { return positions.empty() ? 0 : positions.back(); }
    std::string Message() const { return messages.empty() ? std::string{} : messages.back(); }

    // Called with every new position before it is recorded: lets a test act at a known step.
    std::function<void(int)> onPosition;
    std::vector<int> positions;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answer = true;  // to a question about kept values
    std::vector<int> flashSteps;
    std::array<int, 2> range{-1, -1};
    int pumps = 0;

private:
    std::array<uint8_t, 4> address_;
    TestWindow window_;
};

class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the simulated instrument with `firmware` installed and known parameters.
    sim::Controller& StartInstrument(uint8_t major, uint8_t minor);
    // Runs the update against the instrument, counting the transfers.
    bool Run(RecordingView& view);
    // The values the instrument holds for every parameter that the run carries across.
    struct Parameters {
        std::array<float, 9> floats{};  // ids 0 to 8; 4 is integer and kept below
        int32_t param4 = 0;
        int32_t param11 = 0;
        bool operator==(const Parameters&) const = default;
    };
    Parameters ReadInstrument() const;

    sim::Options options_;
    // What the wizard keeps between runs, as the dialog holds it.
    KeptParameters kept_;
    std::unique_ptr<sim::Controller> instrument_;
    std::atomic<int> transfers_{0};
    // Changes what each flash reports to the run, as a lost reply would.
    std::function<void(FlashReport&)> alterReport_;
    // Total of the fixed waits that the run asked for, at full length.
    std::chrono::milliseconds requestedSleep_{0};
    // Each fixed wait really sleeps this fraction of its length.
    int sleepDivisor_ = 20;
    // The run's phase limits are divided by this.
    int timingDivisor_ = 20;
    std::unique_ptr<platform::ScopedFixedSleeper> sleeper_;
};

}  // namespace corvane::test
