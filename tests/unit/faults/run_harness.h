// What the fault matrix and the endurance runs share: a stand-in for the wizard's window, a
// simulated instrument holding known parameter values, and the whole update run driven the way
// the wizard drives it, with the fixed waits shortened.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/kept_parameters.h"
#include "app/update_run.h"
#include "device/device_timing.h"
#include "platform/window_message.h"
#include "sim/controller.h"
#include "transfer/flash_firmware.h"

namespace corvane::test {

// The wizard's side of a run: records the texts and bar positions the run shows, and moves the
// bar on WM_FLASH_STEP as the dialog's handler does.
class HarnessView : public UpdateRunView {
public:
    explicit HarnessView(std::array<uint8_t, 4> address);
    ~HarnessView() override;
    HarnessView(const HarnessView&) = delete;
    HarnessView& operator=(const HarnessView&) = delete;

    std::array<uint8_t, 4> ReadAddress() override { return address_; }
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int position) override { position_ = position; }
    void SetMessageText(const std::string& text) override { messages_.push_back(text); }
    platform::WindowHandle WindowHandle() override { return window_; }
    void PumpPendingMessages() override;
    // Records the question and answers as `answer` says.
    bool ConfirmWriteKept(const std::string& question) override;

    int Position() const { return position_; }
    const std::vector<std::string>& Messages() const { return messages_; }

    bool answer = true;
    std::vector<std::string> questions;

private:
    std::array<uint8_t, 4> address_;
    platform::WindowHandle window_ = nullptr;
    int position_ = 0;
    std::vector<std::string> messages_;
};

// The values of every parameter the run carries across an update (id 9 cannot be written by
// the tool and id 10 is the firmware version, so neither is carried).
struct CarriedParameters {
    std::array<float, 9> floats{};  // ids 0 to 3 and 5 to 8; slot 4 unused
    int32_t param4 = 0;
    int32_t param11 = 0;
    bool operator==(const CarriedParameters&) const = default;
};

// Gives the instrument values unlike both its initial and its factory values, a valid -1.0
// among them, so a lost, a reset or a garbled value shows. kIntegerEdges: integers no float
// holds exactly; kFactoryFloats: only the integers differ from the factory values.
enum class KnownValues { kTypical, kIntegerEdges, kFactoryFloats };
void GiveKnownParameters(sim::Controller& instrument, KnownValues values = KnownValues::kTypical);
CarriedParameters ReadCarried(const sim::Controller& instrument);
std::string Describe(const CarriedParameters& p);

struct RunResult {
    bool ok = false;
    std::string message;  // the last text the run showed; empty when it showed none
    int transfers = 0;
    int position = 0;
    std::chrono::milliseconds elapsed{0};
    // The questions about kept values the run asked.
    std::vector<std::string> questions;
};

// With CORVANE_SIM_LOG set to anything, the instrument `options` describe prints each of its
// readable event lines to stderr after its listen address and the milliseconds since the
// test program's first instrument, so one can see where a request falls in a run; the runs of
// RunWholeUpdate print the rule of each decision alike.
void LogEventsIfAsked(sim::Options& options);

// The run's phase limits and pauses as the tests shorten them, and how much shorter again the
// pauses really sleep.
inline constexpr int kTestTimingDivisor = 20;
inline constexpr int kTestSleepDivisor = 2;

// Every limit of the device link and the flash divided by `divisor`, the exchange limit set
// apart: what the run's worst case adds up, shortened alike with the run's own phases.
device::DeviceTiming ShortenedDeviceTiming(int divisor, std::chrono::milliseconds exchangeLimit);

// One whole update against the instrument at `address`, through FlashFirmware with `local` as
// its host-name look-up, counting the transfers and timing it, with what the wizard keeps
// between runs in `kept`; a question about kept values is answered `writeKept`. The caller
// installs the shortened sleeper.
RunResult RunWholeUpdate(const std::array<uint8_t, 4>& address, KeptParameters& kept,
                         const RunTiming& timing = RunTiming{}.Shortened(kTestTimingDivisor),
                         const LocalAddressSource& local = SystemLocalAddressSource(),
                         const std::function<void()>& beforeEachTransfer = {},
                         bool writeKept = true);

}  // namespace corvane::test
