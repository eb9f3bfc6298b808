#include "tests/unit/run/run_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <thread>

#include "app/wizard_constants.h"
#include "device/device_messages.h"
#include "device/notify_progress.h"
#include "ads/ads_client_testing.h"
#include "tests/support/test_address.h"
#include "transfer/flash_firmware.h"

namespace corvane::test {

#ifdef _WIN32
namespace {
constexpr const char* kTestWindowClass = "CorvaneRunTestWindow";

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (auto* handler = reinterpret_cast<TestWindow::Handler*>(
                   ::GetWindowLongPtrA(window, GWLP_USERDATA));
               handler != nullptr && *handler) {
        (*handler)(platform::WindowMessage{window, message, wParam, lParam});
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

TestWindow::TestWindow(Handler onMessage) : onMessage_(std::move(onMessage)) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kTestWindowClass;
    ::RegisterClassA(&windowClass);  // fails harmlessly once registered
    window_ = ::CreateWindowExA(0, kTestWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleA(nullptr), &onMessage_);
}

TestWindow::~TestWindow() {
    ::DestroyWindow(static_cast<HWND>(window_));
}
#else
TestWindow::TestWindow(Handler onMessage) : onMessage_(std::move(onMessage)) {
    window_ = platform::CreateTestWindow([this](const platform::WindowMessage& m) {
        if (onMessage_) {
            onMessage_(m);
        }
    });
}

TestWindow::~TestWindow() {
    platform::DestroyTestWindow(window_);
}
#endif

RecordingView::RecordingView(std::array<uint8_t, 4> address)
    : address_(address), window_([this](const platform::WindowMessage& m) {
          if (m.message == WM_FLASH_STEP) {
              flashSteps.push_back(static_cast<int>(m.wParam));
              SetProgressPosition(static_cast<int>(m.wParam) + FLASH_STEP_OFFSET);
          }
      }) {}

void RecordingView::SetProgressRange(int low, int high) {
    range = {low, high};
}

void RecordingView::SetProgressPosition(int position) {
    if (onPosition) {
        onPosition(position);
    }
    positions.push_back(position);
}

void RecordingView::PumpPendingMessages() {
    ++pumps;
    platform::PumpAllMessages();
}

void UpdateRunTest::SetUp() {
    AdsClientResetForTests();
    ProgressWindow = nullptr;
    options_.listen = TestOctets();
    options_.rebootMs = 200;
    sleeper_ =
        std::make_unique<platform::ScopedFixedSleeper>([this](std::chrono::milliseconds duration) {
            requestedSleep_ += duration;
            std::this_thread::sleep_for(duration / sleepDivisor_);
        });
}

void UpdateRunTest::TearDown() {
    sleeper_.reset();
    instrument_.reset();
    ProgressWindow = nullptr;
    AdsClientResetForTests();
}

sim::Controller& UpdateRunTest::StartInstrument(uint8_t major, uint8_t minor) {
    options_.firmwareMajor = major;
    options_.firmwareMinor = minor;
    instrument_ = std::make_unique<sim::Controller>(options_);
    EXPECT_TRUE(instrument_->Start()) << instrument_->LastError();
    // Values unlike the factory defaults, a valid -1.0 among them, so that a lost or a
    // default value shows.
    const std::array<float, 9> floats{12.5f, -3.25f, -1.0f, 1000.125f, 0.0f,
                                      7.75f, 0.001f, 42.0f, -250.5f};
    for (int id = 0; id <= 8; ++id) {
        if (id != 4) {
            instrument_->SetFloatParameter(id, floats[static_cast<size_t>(id)]);
        }
    }
    instrument_->SetIntParameter(4, -12);
    instrument_->SetIntParameter(11, 123456);
    return *instrument_;
}

bool UpdateRunTest::Run(RecordingView& view) {
    UpdateRunOptions options;
    options.flash = [this](int a, int b, int c, int d, auto notAfter, FlashReport& report) {
        ++transfers_;
        const int result = FlashFirmware(a, b, c, d, SystemLocalAddressSource(), notAfter, report);
        if (alterReport_) {
            alterReport_(report);
        }
        return result;
    };
    options.timing = RunTiming{}.Shortened(timingDivisor_);
    return RunUpdate(view, kept_, options);
}

UpdateRunTest::Parameters UpdateRunTest::ReadInstrument() const {
    Parameters p;
    for (int id = 0; id <= 8; ++id) {
        if (id != 4) {
            p.floats[static_cast<size_t>(id)] = instrument_->FloatParameter(id);
        }
    }
    p.param4 = instrument_->IntParameter(4);
    p.param11 = instrument_->IntParameter(11);
    return p;
}

}  // namespace corvane::test
