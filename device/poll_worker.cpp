#include "device/poll_worker.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <span>
#include <thread>

#include "device/device_events.h"
#include "device/device_lock.h"
#include "device/device_messages.h"
#include "device/device_session.h"
#include "device/device_timing.h"
#include "ads/ads_api.h"
#include "platform/com_runtime.h"

namespace {

constexpr intptr_t kLinkEndedCleanly = 2;
constexpr intptr_t kLinkTransferFailed = 3;
constexpr intptr_t kLinkEndedWithCloseError = 5;

}  // namespace

namespace {

// What the worker keeps to itself across cycles.
struct WorkerState {
    AmsAddr controller{};
    // The session's own port: every call goes through it, and it is the only port this worker
    // ever closes.
    int32_t port = 0;
    device::MailboxRecord lastWritten{};
    bool running = false;
    // The first cycle always writes what the command block holds, so the PLC sees the mailbox
    // as this session left it.
    bool writePending = true;
    int16_t lastState = 0;
    int16_t lastDetail = 0;
    std::array<uint8_t, device::kPollReadSize> readBuffer{};
};

enum class Transfer { kDone, kFailed, kSessionEnded };

WorkerState TakeSession(const DeviceSession& s) {
    WorkerState w;
    std::lock_guard lock(DeviceLock);
    w.controller = s.controllerAddress;
    w.port = s.port;
    w.lastWritten = s.commandBlock;
    w.running = s.connected;
    return w;
}

void TakeNewRequest(const DeviceSession& s, WorkerState& w) {
    std::lock_guard lock(DeviceLock);
    if (!device::SameRequest(s.commandBlock, w.lastWritten)) {
        w.lastWritten = s.commandBlock;
        w.writePending = true;
    }
}

// Close (or a failed Connect) may have ended the session since the last cycle and closed the
// port already: then no transfer is made and no failure reported, the worker only ends. The
// check shares the lock with the call it guards.
Transfer WritePendingRequest(const DeviceSession& s, WorkerState& w) {
    if (!w.writePending) {
        return Transfer::kDone;
    }
    // Not retried: a failed write ends the worker, and the next session's first cycle writes
    // the block again.
    w.writePending = false;
    std::lock_guard lock(DeviceLock);
    if (!s.connected) {
        return Transfer::kSessionEnded;
    }
    return AdsSyncWriteReqEx(
               w.port, &w.controller, device::kPlcMemoryIndexGroup, device::kCommandBlockOffset,
               static_cast<uint32_t>(w.lastWritten.size()), w.lastWritten.data()) == ADSERR_NOERR
               ? Transfer::kDone
               : Transfer::kFailed;
}

Transfer ReadResponseAndStatus(const DeviceSession& s, WorkerState& w) {
    std::lock_guard lock(DeviceLock);
    if (!s.connected) {
        return Transfer::kSessionEnded;
    }
    return AdsSyncReadReqEx(
               w.port, &w.controller, device::kPlcMemoryIndexGroup, device::kResponseBlockOffset,
               static_cast<uint32_t>(w.readBuffer.size()), w.readBuffer.data()) == ADSERR_NOERR
               ? Transfer::kDone
               : Transfer::kFailed;
}

// State before detail: a listener sees the new state first.
void ReportChanges(DeviceSession& s, WorkerState& w, const device::StatusBlock& status) {
    if (const int16_t state = device::StateWord(status); state != w.lastState) {
        PostDeviceEvent(s, DEVEVT_STATE, state);
        w.lastState = state;
    }
    if (const int16_t detail = device::DetailWord(status); detail != w.lastDetail) {
        PostDeviceEvent(s, DEVEVT_DETAIL, detail);
        w.lastDetail = detail;
    }
}

// One cycle: take a new request, write it, read the response and status back, report
// changes, and hand the blocks to the session (or end it after a failure).
void RunCycle(DeviceSession& s, WorkerState& w) {
    TakeNewRequest(s, w);
    const Transfer write = WritePendingRequest(s, w);
    if (write == Transfer::kFailed) {
        PostDeviceEvent(s, DEVEVT_LINK, kLinkTransferFailed);
        w.running = false;
    }
    const Transfer read =
        write == Transfer::kSessionEnded ? Transfer::kSessionEnded : ReadResponseAndStatus(s, w);
    if (read != Transfer::kDone) {
        if (read == Transfer::kFailed) {
            PostDeviceEvent(s, DEVEVT_LINK, kLinkTransferFailed);
        }
        w.running = false;
    }

    device::MailboxRecord response{};
    device::StatusBlock status{};
    if (read == Transfer::kDone) {
        const std::span<const uint8_t> bytes(w.readBuffer);
        std::copy_n(bytes.begin(), response.size(), response.begin());
        std::copy_n(bytes.begin() + device::kMailboxBlockSize, status.size(), status.begin());
        ReportChanges(s, w, status);
    }

    std::lock_guard lock(DeviceLock);
    if (!w.running) {
        s.connected = false;
    } else {
        s.responseBlock = response;
        s.statusBlock = status;
        // Close, or a failed version exchange in Connect, ends the worker here.
        w.running = s.connected;
    }
}

}  // namespace

int PollWorker(std::shared_ptr<DeviceSession> session) {
    platform::InitializeComForThread();
    DeviceSession& s = *session;
    WorkerState w = TakeSession(s);
    while (w.running) {
        RunCycle(s, w);
        std::this_thread::sleep_for(device::kPollPause);
    }

    int32_t closeResult = 0;
    {
        std::lock_guard lock(DeviceLock);
        closeResult = AdsPortCloseEx(w.port);
    }
    PostDeviceEvent(s, DEVEVT_LINK,
                    closeResult == ADSERR_NOERR ? kLinkEndedCleanly : kLinkEndedWithCloseError);
    return 0;
}
