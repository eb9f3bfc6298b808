// What the device-link tests share: a simulated instrument on the test's own loopback address
// and a recorder of the link's window messages.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/window_message.h"
#include "sim/controller.h"

namespace corvane::test {

// One WM_DEVICE_EVENT (kind, detail) or WM_DEVICE_CLOSED (0, 0) as the link posted it.
struct LinkMessage {
    uint32_t message = 0;
    uintptr_t kind = 0;
    intptr_t detail = 0;
    bool operator==(const LinkMessage&) const = default;
};
std::ostream& operator<<(std::ostream& out, const LinkMessage& m);

LinkMessage Event(uintptr_t kind, intptr_t detail);
LinkMessage Closed();

// A window of the calling thread whose messages are kept in the order they are dispatched.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    platform::WindowHandle window() const { return window_; }
    // Dispatches what waits in the thread's queue and returns everything seen so far.
    const std::vector<LinkMessage>& Seen();
    // Dispatches until `predicate` holds for what was seen, or `limit` passes.
    bool PumpUntil(const std::function<bool(const std::vector<LinkMessage>&)>& predicate,
                   std::chrono::milliseconds limit);
    bool PumpUntilSeen(const LinkMessage& message, std::chrono::milliseconds limit);

private:
    platform::WindowHandle window_ = nullptr;
    std::vector<LinkMessage> seen_;
};

// The simulated controller's options for this test: its own loopback address, router port.
sim::Options InstrumentOptions();

}  // namespace corvane::test
