#include "tests/unit/device/device_test_support.h"

#include <algorithm>
#include <thread>

#include "device/device_messages.h"
#include "tests/unit/device/recording_window.h"
#include "tests/support/test_address.h"

namespace corvane::test {

std::ostream& operator<<(std::ostream& out, const LinkMessage& m) {
    if (m.message == WM_DEVICE_CLOSED) {
        return out << "CLOSED";
    }
    return out << "EVENT(" << m.kind << ", " << m.detail << ")";
}

LinkMessage Event(uintptr_t kind, intptr_t detail) {
    return LinkMessage{WM_DEVICE_EVENT, kind, detail};
}

LinkMessage Closed() {
    return LinkMessage{WM_DEVICE_CLOSED, 0, 0};
}

MessageRecorder::MessageRecorder() {
    window_ = corvane::test::CreateRecordingWindow([this](const platform::WindowMessage& m) {
        seen_.push_back(LinkMessage{m.message, m.wParam, m.lParam});
    });
}

MessageRecorder::~MessageRecorder() {
    corvane::test::DestroyRecordingWindow(window_);
}

const std::vector<LinkMessage>& MessageRecorder::Seen() {
    platform::PumpAllMessages();
    return seen_;
}

bool MessageRecorder::PumpUntil(
    const std::function<bool(const std::vector<LinkMessage>&)>& predicate,
    std::chrono::milliseconds limit) {
    // The stand-in message queue has no blocking wait; look every millisecond until the
    // deadline, as a window's own message loop would.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (predicate(Seen())) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool MessageRecorder::PumpUntilSeen(const LinkMessage& message, std::chrono::milliseconds limit) {
    return PumpUntil(
        [&](const std::vector<LinkMessage>& seen) {
            return std::find(seen.begin(), seen.end(), message) != seen.end();
        },
        limit);
}

sim::Options InstrumentOptions() {
    sim::Options options;
    options.listen = TestOctets();
    options.port = 48898;
    return options;
}

}  // namespace corvane::test
