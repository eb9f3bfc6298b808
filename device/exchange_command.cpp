#include "device/exchange_command.h"

#include <chrono>
#include <mutex>

#include "device/device_events.h"
#include "device/device_lock.h"
#include "device/device_messages.h"
#include "device/device_session.h"
#include "device/device_timing.h"
#include "device/queue_wait.h"

namespace {

// Sequence numbers run from 1 to this and then start again at 1; 0 is never sent.
constexpr uint32_t kLastSequenceNumber = 2'000'000'000;

constexpr intptr_t kTimeoutDetail = 1;

}  // namespace

int16_t ExchangeCommand(DeviceSession& session, device::MailboxRecord& record) {
    device::ClearRecordReserved(record);
    const uint16_t code = device::RecordCode(record);

    uint32_t previousAnswerSequence = 0;
    uint32_t sequence = 0;
    bool connected = false;
    auto deadline = std::chrono::steady_clock::time_point::max();
    {
        const auto lock = device::LockMovingQueue();
        deadline = session.exchangeDeadline;
        previousAnswerSequence = device::RecordSequence(session.responseBlock);
        connected = session.connected;
        session.requestCounter += 1;
        if (session.requestCounter > kLastSequenceNumber) {
            session.requestCounter = 1;
        }
        sequence = session.requestCounter;
        session.commandBlock = record;
        device::SetRecordSequence(session.commandBlock, sequence);
    }
    if (!connected) {
        return 0;
    }

    // A monotonic clock: a change of the wall clock must neither cut the wait short nor
    // stretch it.
    const auto start = std::chrono::steady_clock::now();
    const auto limit = device::ExchangeTimeLimit();
    // Past the caller's deadline nobody waits for the answer any more.
    const auto giveUp = deadline - start < limit ? deadline : start + limit;
    // A session that ends meanwhile (its worker lost the connection, or it was closed) can
    // never carry the answer: the wait ends with it rather than running out its limit.
    bool ended = false;
    const bool settled = device::WaitMovingQueue(
        [&] {
            const auto lock = device::LockMovingQueue();
            const uint16_t answerCode = device::RecordCode(session.responseBlock);
            const uint32_t answerSequence = device::RecordSequence(session.responseBlock);
            // A device that does not count answers with 0; an unchanged number is the answer
            // to the previous request still standing in the response block.
            const bool answered = answerCode == code &&
                                  (answerSequence == sequence || answerSequence == 0) &&
                                  answerSequence != previousAnswerSequence;
            ended = !answered && !session.connected;
            return answered || ended;
        },
        giveUp);
    if (!settled) {
        PostDeviceEvent(session, DEVEVT_TIMEOUT, kTimeoutDetail);
        return 0;
    }
    if (ended) {
        return 0;
    }

    const auto lock = device::LockMovingQueue();
    record = session.responseBlock;
    return -1;
}
