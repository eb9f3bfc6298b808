// How long a complete flash takes against the simulated controller, as a ratio to bounds
// measured in the same run:
//   prompt controller: 47 request/reply round trips of the flash's frame sizes over a plain
//     loopback socket (what the download would cost with nothing else in the way);
//   silent controller: 47 x 30 ms, the receive time-outs the flash waits out (it then closes
//     its side and the controller closes too, so no quiet wait follows).
// Prints figures; never fails. Uses 127.<CORVANE_TEST_SUBNET>.251.x, outside the test range.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ams/ams_header.h"
#include "device/notify_progress.h"
#include "ads/ads_client_testing.h"
#include "platform/tcp_socket.h"
#include "sim/controller.h"
#include "transfer/exchange_ams_frame.h"
#include "transfer/flash_firmware.h"

namespace {

using std::chrono::milliseconds;

platform::Ipv4 BenchAddress(uint8_t host) {
    const char* subnet = std::getenv("CORVANE_TEST_SUBNET");
    const long n = subnet != nullptr ? std::strtol(subnet, nullptr, 10) : 0;
    return {127, static_cast<uint8_t>(n >= 1 && n <= 254 ? n : 0), 251, host};
}

// Payload sizes of the 47 frames: five commands, 39 image records, three closing commands.
std::vector<size_t> FramePayloadSizes() {
    std::vector<size_t> sizes{15, 1, 1, 1, 4};
    sizes.insert(sizes.end(), 39, 2060);
    sizes.insert(sizes.end(), {3, 1, 1});
    return sizes;
}

bool ReadExactly(platform::TcpSocket& socket, std::span<uint8_t> out) {
    size_t have = 0;
    while (have < out.size()) {
        const int n = socket.Receive(out.subspan(have));
        if (n <= 0) {
            return false;
        }
        have += static_cast<size_t>(n);
    }
    return true;
}

// The bound: a plain server that reads each whole frame and answers with a bare header.
void BM_LoopbackBound(benchmark::State& state) {
    const platform::Ipv4 address = BenchAddress(1);
    platform::TcpSocket listener = platform::TcpSocket::Create();
    if (!listener.Bind(address, 0) || !listener.Listen()) {
        state.SkipWithError("cannot listen");
        return;
    }
    const std::vector<size_t> sizes = FramePayloadSizes();
    std::atomic<bool> stop{false};
    std::thread server([&] {
        while (!stop) {
            if (listener.WaitReadable(milliseconds(20)) != 1) {
                continue;
            }
            platform::TcpSocket peer = listener.Accept();
            peer.SetNoDelay(true);
            std::vector<uint8_t> frame(ams::kFrameHeaderSize + 2060);
            const std::array<uint8_t, ams::kFrameHeaderSize> reply{};
            for (const size_t n : sizes) {
                if (!ReadExactly(peer, std::span(frame).first(ams::kFrameHeaderSize + n)) ||
                    !peer.SendAll(reply)) {
                    break;
                }
            }
        }
    });
    std::vector<uint8_t> request(ams::kFrameHeaderSize + 2060, 0x5A);
    std::array<uint8_t, ams::kFrameHeaderSize> reply{};
    for (auto _ : state) {
        platform::TcpSocket client = platform::TcpSocket::Create();
        client.Connect(address, listener.LocalPort(), milliseconds(2000));
        for (const size_t n : sizes) {
            client.Send(std::span(request).first(ams::kFrameHeaderSize + n));
            ReadExactly(client, reply);
        }
    }
    stop = true;
    server.join();
}

void FlashAgainst(benchmark::State& state, uint8_t host, bool silent) {
    AdsClientResetForTests();
    ProgressWindow = nullptr;
    sim::Options options;
    options.listen = BenchAddress(host);
    options.rebootMs = 0;
    options.faults.downloadSilent = silent;
    sim::Controller controller(options);
    if (!controller.Start()) {
        state.SkipWithError(controller.LastError().c_str());
        return;
    }
    const platform::Ipv4 a = options.listen;
    uint64_t flashes = 0;
    for (auto _ : state) {
        // The controller reboots after each flash; the next one starts once it is back.
        state.PauseTiming();
        controller.WaitFor(
            [&](const sim::Stats& s) { return s.listening && s.rebootsCompleted >= flashes; },
            milliseconds(5000));
        ++flashes;
        state.ResumeTiming();
        if (const int result = FlashFirmware(a[0], a[1], a[2], a[3]); result != FLASH_DONE) {
            const std::string error = "flash failed with " + std::to_string(result);
            state.SkipWithError(error.c_str());
            return;
        }
    }
}

void BM_FlashPrompt(benchmark::State& state) {
    FlashAgainst(state, 2, false);
}
void BM_FlashSilent(benchmark::State& state) {
    FlashAgainst(state, 3, true);
}

BENCHMARK(BM_LoopbackBound)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlashPrompt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlashSilent)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Keeps each benchmark's mean real time per iteration, in milliseconds, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.iterations > 0) {
                millis_[run.run_name.function_name] =
                    run.real_accumulated_time * 1000.0 / static_cast<double>(run.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Millis(const std::string& name) const {
        const auto it = millis_.find(name);
        return it == millis_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> millis_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double bound = reporter.Millis("BM_LoopbackBound");
    const double prompt = reporter.Millis("BM_FlashPrompt");
    const double silent = reporter.Millis("BM_FlashSilent");
    constexpr double kSilentBound = 47 * 30.0;
    std::printf("\nloopback bound (47 round trips):    %8.2f ms\n", bound);
    std::printf("flash, prompt controller:           %8.2f ms  = %6.2f x loopback bound\n", prompt,
                bound > 0 ? prompt / bound : 0.0);
    std::printf("flash, silent controller:           %8.2f ms  = %6.3f x 47 x 30 ms\n", silent,
                silent / kSilentBound);
    benchmark::Shutdown();
    return 0;
}
