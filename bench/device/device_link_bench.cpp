// The device link against the in-process simulated controller on loopback:
//   - a GetParameter round trip as a ratio to one polling-worker cycle and to one raw
//     AdsSyncReadReq round trip, all measured in this run;
//   - the CPU time an idle connected session costs per second of wall time (the whole
//     process, so the simulator's side of the polling is included; an idle simulator without a
//     session is printed beside it).
// Prints figures; never fails. Uses 127.<CORVANE_TEST_SUBNET>.252.x, outside the test range.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "device/device_link.h"
#include "device/plc_memory.h"
#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "sim/controller.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;
using std::chrono::milliseconds;

platform::Ipv4 BenchAddress(uint8_t host) {
    const char* subnet = std::getenv("CORVANE_TEST_SUBNET");
    const long n = subnet != nullptr ? std::strtol(subnet, nullptr, 10) : 0;
    return {127, static_cast<uint8_t>(n >= 1 && n <= 254 ? n : 0), 252, host};
}

sim::Options Instrument(uint8_t host) {
    sim::Options options;
    options.listen = BenchAddress(host);
    return options;
}

uint64_t Reads(const sim::Stats& stats) {
    const auto it = stats.adsRequests.find(2);
    return it == stats.adsRequests.end() ? 0 : it->second;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One raw read of the response and status area: the floor any polling cycle stands on.
void BM_RawAdsRead(benchmark::State& state) {
    AdsClientResetForTests();
    sim::Controller controller(Instrument(1));
    if (!controller.Start()) {
        state.SkipWithError(controller.LastError().c_str());
        return;
    }
    AdsSyncSetTimeoutEx(AdsPortOpen(), 2000);
    const AmsAddr plc{ams::NetIdFromIpv4(BenchAddress(1)), ams::kPlcRuntimePort};
    std::array<uint8_t, device::kPollReadSize> buffer{};
    for (auto _ : state) {
        if (AdsSyncReadReq(&plc, device::kPlcMemoryIndexGroup, device::kResponseBlockOffset,
                           static_cast<uint32_t>(buffer.size()), buffer.data()) != ADSERR_NOERR) {
            state.SkipWithError("read failed");
            break;
        }
    }
    AdsPortClose();
}

// One polling-worker cycle, timed by the reads the simulator counts while a session idles.
void BM_WorkerCycle(benchmark::State& state) {
    AdsClientResetForTests();
    sim::Controller controller(Instrument(2));
    if (!controller.Start()) {
        state.SkipWithError(controller.LastError().c_str());
        return;
    }
    CDeviceLink link;
    const auto a = BenchAddress(2);
    if (link.Connect(a[0], a[1], a[2], a[3]) != -1) {
        state.SkipWithError("connect failed");
        return;
    }
    constexpr uint64_t kCycles = 50;
    for (auto _ : state) {
        const uint64_t first = Reads(controller.stats());
        const auto start = Clock::now();
        controller.WaitFor([&](const sim::Stats& s) { return Reads(s) >= first + kCycles; },
                           milliseconds(10000));
        const double seconds = duration<double>(Clock::now() - start).count();
        const uint64_t cycles = Reads(controller.stats()) - first;
        state.SetIterationTime(seconds / static_cast<double>(cycles > 0 ? cycles : 1));
    }
    link.Shutdown();
}

// A parameter read through the mailbox: request placed, written and answered by the worker.
void BM_GetParameter(benchmark::State& state) {
    AdsClientResetForTests();
    sim::Controller controller(Instrument(3));
    if (!controller.Start()) {
        state.SkipWithError(controller.LastError().c_str());
        return;
    }
    CDeviceLink link;
    const auto a = BenchAddress(3);
    if (link.Connect(a[0], a[1], a[2], a[3]) != -1) {
        state.SkipWithError("connect failed");
        return;
    }
    float value = 0.0f;
    for (auto _ : state) {
        if (link.TryGetParameter(0, value) != -1) {
            state.SkipWithError("read failed");
            break;
        }
    }
    benchmark::DoNotOptimize(value);
    link.Shutdown();
}

BENCHMARK(BM_RawAdsRead)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_WorkerCycle)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(40);
BENCHMARK(BM_GetParameter)->Unit(benchmark::kMicrosecond)->UseRealTime();

// CPU time of the whole process per second of wall time, over `wall`.
double CpuPerWallSecond(std::chrono::seconds wall) {
    const double cpu0 = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(wall);
    const double elapsed = duration<double>(Clock::now() - start).count();
    return (CpuSeconds() - cpu0) / elapsed;
}

struct IdleFigures {
    double simulatorAlone = 0.0;
    double connectedSession = 0.0;
    double cyclesPerSecond = 0.0;
};

IdleFigures MeasureIdle() {
    AdsClientResetForTests();
    IdleFigures figures;
    sim::Controller controller(Instrument(4));
    if (!controller.Start()) {
        return figures;
    }
    figures.simulatorAlone = CpuPerWallSecond(std::chrono::seconds(2));
    CDeviceLink link;
    const auto a = BenchAddress(4);
    if (link.Connect(a[0], a[1], a[2], a[3]) != -1) {
        return figures;
    }
    const uint64_t reads = Reads(controller.stats());
    const auto start = Clock::now();
    figures.connectedSession = CpuPerWallSecond(std::chrono::seconds(3));
    figures.cyclesPerSecond = static_cast<double>(Reads(controller.stats()) - reads) /
                              duration<double>(Clock::now() - start).count();
    link.Shutdown();
    return figures;
}

// Keeps each benchmark's mean real time per iteration, in microseconds, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.iterations > 0) {
                micros_[run.run_name.function_name] =
                    run.real_accumulated_time * 1e6 / static_cast<double>(run.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Micros(const std::string& name) const {
        const auto it = micros_.find(name);
        return it == micros_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> micros_;
};

double Ratio(double a, double b) {
    return b > 0.0 ? a / b : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double raw = reporter.Micros("BM_RawAdsRead");
    const double cycle = reporter.Micros("BM_WorkerCycle");
    const double get = reporter.Micros("BM_GetParameter");
    std::printf("\nraw AdsSyncReadReq round trip:   %9.1f us\n", raw);
    std::printf("polling-worker cycle:            %9.1f us\n", cycle);
    std::printf(
        "GetParameter round trip:         %9.1f us  = %5.2f worker cycles"
        "  = %6.1f raw reads\n",
        get, Ratio(get, cycle), Ratio(get, raw));

    const IdleFigures idle = MeasureIdle();
    std::printf("\nidle simulator, no session:      %9.4f s CPU per s wall\n", idle.simulatorAlone);
    std::printf(
        "idle connected session:          %9.4f s CPU per s wall"
        " (link and simulator, %.0f cycles/s)\n",
        idle.connectedSession, idle.cyclesPerSecond);
    benchmark::Shutdown();
    return 0;
}
