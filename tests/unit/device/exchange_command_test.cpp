// The mailbox exchange against a stand-in for the polling worker that answers from a script,
// so the matching rules can be driven exactly.
#include "device/exchange_command.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "device/device_link.h"
#include "device/device_lock.h"
#include "device/device_messages.h"
#include "device/device_session.h"
#include "device/device_timing.h"
#include "device/mailbox_record.h"
#include "platform/window_message.h"
#include "tests/unit/device/recording_window.h"

namespace {

using device::MailboxRecord;
using namespace std::chrono_literals;

// Answers the command block the way a PLC program would, one look per millisecond, until
// destroyed. `respond` sees the command block and may return the response block to store.
class FakeWorker {
public:
    using Responder = std::function<std::optional<MailboxRecord>(const MailboxRecord&)>;

    FakeWorker(DeviceSession& session, Responder respond)
        : thread_([this, &session, respond = std::move(respond)] {
              while (!stop_.load()) {
                  {
                      std::lock_guard lock(DeviceLock);
                      if (auto answer = respond(session.commandBlock)) {
                          session.responseBlock = *answer;
                      }
                  }
                  std::this_thread::sleep_for(1ms);
              }
          }) {}
    ~FakeWorker() {
        stop_.store(true);
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

MailboxRecord Record(uint16_t code, uint32_t sequence) {
    MailboxRecord record = device::MakeRequest(code);
    device::SetRecordSequence(record, sequence);
    return record;
}

class ExchangeCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = corvane::test::CreateRecordingWindow(
            [this](const platform::WindowMessage& m) { messages_.push_back(m); });
        link_.SetNotificationWindow(window_);
        // Events of the exchange go to the link's window through the session's owner.
        session_.owner = &link_;
        std::lock_guard lock(DeviceLock);
        session_.connected = true;
    }
    void TearDown() override { corvane::test::DestroyRecordingWindow(window_); }

    void SetResponse(const MailboxRecord& response) {
        std::lock_guard lock(DeviceLock);
        session_.responseBlock = response;
    }
    void SetCounter(uint32_t counter) {
        std::lock_guard lock(DeviceLock);
        session_.requestCounter = counter;
    }
    MailboxRecord CommandBlock() {
        std::lock_guard lock(DeviceLock);
        return session_.commandBlock;
    }
    int TimeoutEvents() {
        platform::PumpAllMessages();
        int count = 0;
        for (const auto& m : messages_) {
            count += m.message == WM_DEVICE_EVENT && m.wParam == DEVEVT_TIMEOUT && m.lParam == 1;
        }
        return count;
    }

    device::ScopedDeviceTimingForTesting timing_{150ms, 1000ms};
    CDeviceLink link_;
    DeviceSession session_;
    platform::WindowHandle window_ = nullptr;
    std::vector<platform::WindowMessage> messages_;
};

// Echoes code and sequence number of whatever request stands in the command block, with a
// value in the response so the caller's record is seen to be replaced.
std::optional<MailboxRecord> EchoWithValue(const MailboxRecord& command) {
    MailboxRecord response = command;
    response[12] = 0x5A;
    response[20] = 0xA5;
    return response;
}

TEST_F(ExchangeCommandTest, AnsweredRequestReturnsTheResponseInTheCallersRecord) {
    SetCounter(41);
    FakeWorker device(session_, EchoWithValue);
    MailboxRecord request = Record(CMD_GET_PARAMETER, 0);
    request[2] = 0xEE;  // reserved bytes of the caller are cleared before sending
    request[5] = 0xEE;
    device::SetRecordParameterId(request, 3);

    ASSERT_EQ(ExchangeCommand(session_, request), -1);
    EXPECT_EQ(device::RecordSequence(request), 42u);
    EXPECT_EQ(request[12], 0x5A);
    EXPECT_EQ(request[20], 0xA5);
    const MailboxRecord sent = CommandBlock();
    EXPECT_EQ(device::RecordSequence(sent), 42u);
    EXPECT_EQ(device::RecordParameterId(sent), 3);
    EXPECT_EQ(sent[2] | sent[3] | sent[4] | sent[5], 0);
    EXPECT_EQ(TimeoutEvents(), 0);
}

TEST_F(ExchangeCommandTest, SequenceNumbersWrapFromTwoBillionToOne) {
    FakeWorker device(session_, EchoWithValue);
    SetCounter(1'999'999'999);
    MailboxRecord request = Record(CMD_GET_PARAMETER, 0);
    ASSERT_EQ(ExchangeCommand(session_, request), -1);
    EXPECT_EQ(device::RecordSequence(CommandBlock()), 2'000'000'000u);
    request = Record(CMD_GET_PARAMETER, 0);
    ASSERT_EQ(ExchangeCommand(session_, request), -1);
    EXPECT_EQ(device::RecordSequence(CommandBlock()), 1u);
}

struct MatchCase {
    const char* name;
    MailboxRecord previousResponse;  // in the response block when the request is placed
    MailboxRecord answer;            // what the device then puts there
    bool answered;
};
void PrintTo(const MatchCase& c, std::ostream* out) {
    *out << c.name;
}

class ExchangeMatching : public ExchangeCommandTest,
                         public ::testing::WithParamInterface<MatchCase> {};

// The request placed in each case is CMD_SET_PARAMETER with sequence number 6.
TEST_P(ExchangeMatching, AcceptsOnlyTheAnswerToThisRequest) {
    const MatchCase& c = GetParam();
    SetCounter(5);
    SetResponse(c.previousResponse);
    FakeWorker device(session_, [&c](const MailboxRecord& command) -> std::optional<MailboxRecord> {
        if (device::RecordSequence(command) != 6) {
            return std::nullopt;  // not placed yet
        }
        return c.answer;
    });
    MailboxRecord request = Record(CMD_SET_PARAMETER, 0);
    EXPECT_EQ(ExchangeCommand(session_, request), c.answered ? -1 : 0);
    EXPECT_EQ(TimeoutEvents(), c.answered ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Responses, ExchangeMatching,
    ::testing::Values(
        MatchCase{"SameSequence", Record(CMD_GET_PARAMETER, 5), Record(CMD_SET_PARAMETER, 6), true},
        MatchCase{"ZeroAfterNumbered", Record(CMD_SET_PARAMETER, 5), Record(CMD_SET_PARAMETER, 0),
                  true},
        MatchCase{"ZeroAfterZero", Record(CMD_SET_PARAMETER, 0), Record(CMD_SET_PARAMETER, 0),
                  false},
        MatchCase{"PreviousSequence", Record(CMD_GET_PARAMETER, 5), Record(CMD_SET_PARAMETER, 5),
                  false},
        MatchCase{"OtherCode", Record(CMD_GET_PARAMETER, 5), Record(CMD_GET_PARAMETER, 6), false},
        MatchCase{"LaterSequence", Record(CMD_GET_PARAMETER, 5), Record(CMD_SET_PARAMETER, 7),
                  false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(ExchangeCommandTest, NotConnectedFailsAtOnceButStillReplacesTheCommandBlock) {
    {
        std::lock_guard lock(DeviceLock);
        session_.connected = false;
    }
    SetCounter(9);
    MailboxRecord request = Record(CMD_RELEASE, 0);
    EXPECT_EQ(ExchangeCommand(session_, request), 0);
    const MailboxRecord placed = CommandBlock();
    EXPECT_EQ(device::RecordCode(placed), CMD_RELEASE);
    EXPECT_EQ(device::RecordSequence(placed), 10u);
    platform::PumpAllMessages();
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ExchangeCommandTest, UnansweredRequestTimesOutAndStaysInTheCommandBlock) {
    MailboxRecord request = Record(CMD_REGISTER_HOST, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExchangeCommand(session_, request), 0);
    // The shortened limit applies, and the wait does not end before it.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    EXPECT_EQ(TimeoutEvents(), 1);
    EXPECT_EQ(device::RecordCode(CommandBlock()), CMD_REGISTER_HOST);
}

TEST_F(ExchangeCommandTest, WindowMessagesAreHandledWhileWaiting) {
    std::atomic<bool> handled{false};
    const platform::WindowHandle ui = corvane::test::CreateRecordingWindow(
        [&handled](const platform::WindowMessage&) { handled.store(true); });
    ASSERT_TRUE(platform::PostWindowMessage(ui, 0x400, 0, 0));
    // The device answers only once the caller's thread has dispatched the message, which
    // it can do only from inside the exchange.
    FakeWorker device(session_, [&handled](const MailboxRecord& command) {
        return handled.load() ? std::optional<MailboxRecord>(command) : std::nullopt;
    });
    MailboxRecord request = Record(CMD_GET_PARAMETER, 0);
    {
        device::ScopedDeviceTimingForTesting longer(5000ms, 1000ms);
        EXPECT_EQ(ExchangeCommand(session_, request), -1);
    }
    EXPECT_TRUE(handled.load());
    corvane::test::DestroyRecordingWindow(ui);
}

TEST_F(ExchangeCommandTest, SessionEndingUnderTheRequestEndsTheWaitWithoutATimeout) {
    // The worker loses the connection before it could carry the request: the session ends.
    FakeWorker device(session_, [this](const MailboxRecord&) -> std::optional<MailboxRecord> {
        session_.connected = false;
        return std::nullopt;
    });
    MailboxRecord request = Record(CMD_GET_PARAMETER, 0);
    device::ScopedDeviceTimingForTesting longer(5000ms, 1000ms);
    EXPECT_EQ(ExchangeCommand(session_, request), 0);
    EXPECT_EQ(TimeoutEvents(), 0);
}

TEST_F(ExchangeCommandTest, WindowMessagesAreHandledWhileTheWorkerHoldsTheLock) {
    std::atomic<bool> handled{false};
    const platform::WindowHandle ui = corvane::test::CreateRecordingWindow(
        [&handled](const platform::WindowMessage&) { handled.store(true); });
    ASSERT_TRUE(platform::PostWindowMessage(ui, 0x400, 0, 0));
    // The worker, in an ADS call, lets go only once the caller's thread has dispatched the
    // message, which it can do only while it waits for the lock (or the bound passes).
    std::atomic<bool> held{false};
    std::thread worker([&] {
        std::lock_guard lock(DeviceLock);
        held.store(true);
        const auto bound = std::chrono::steady_clock::now() + 5s;
        while (!handled.load() && std::chrono::steady_clock::now() < bound) {
            std::this_thread::sleep_for(1ms);
        }
    });
    while (!held.load()) {
        std::this_thread::yield();
    }
    MailboxRecord request = Record(CMD_GET_PARAMETER, 0);
    EXPECT_EQ(ExchangeCommand(session_, request), 0);  // not connected, once it has the lock
    EXPECT_TRUE(handled.load());
    worker.join();
    corvane::test::DestroyRecordingWindow(ui);
}

}  // namespace
