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

int PollWorker(std::shared_ptr<DeviceSession> session) {
    platform::InitializeComForThread();
    DeviceSession& s = *session;

    int16_t lastState = 0;
    int16_t lastDetail = 0;
    AmsAddr controller{};
    int32_t port = 0;
    device::MailboxRecord lastWritten{};
    bool running = false;
    {
        std::lock_guard lock(DeviceLock);
        controller = s.controllerAddress;
        // The session's own port: every call goes through it, and it is the only port this
        // worker ever closes.
        port = s.port;
        lastWritten = s.commandBlock;
        running = s.connected;
    }
    // The first cycle always writes what the command block holds, so the PLC sees the
    // mailbox as this session left it.
    bool writePending = true;
    std::array<uint8_t, device::kPollReadSize> readBuffer{};

    while (running) {
        {
            std::lock_guard lock(DeviceLock);
            if (!device::SameRequest(s.commandBlock, lastWritten)) {
                lastWritten = s.commandBlock;
                writePending = true;
            }
        }

        // Close (or a failed Connect) may have ended the session since the last cycle and
        // closed the port already: then this cycle makes no transfer and reports no failure,
        // it only ends the worker. The check shares the lock with the call it guards.
        bool sessionEnded = false;
        if (writePending) {
            int32_t result = ADSERR_NOERR;
            {
                std::lock_guard lock(DeviceLock);
                sessionEnded = !s.connected;
                if (!sessionEnded) {
                    result = AdsSyncWriteReqEx(port, &controller, device::kPlcMemoryIndexGroup,
                                               device::kCommandBlockOffset,
                                               static_cast<uint32_t>(lastWritten.size()),
                                               lastWritten.data());
                }
            }
            // Not retried: a failed write ends the worker, and the next session's first cycle
            // writes the block again.
            writePending = false;
            if (result != ADSERR_NOERR) {
                PostDeviceEvent(s, DEVEVT_LINK, kLinkTransferFailed);
                running = false;
            }
        }

        int32_t readResult = ADSERR_NOERR;
        if (!sessionEnded) {
            std::lock_guard lock(DeviceLock);
            sessionEnded = !s.connected;
            if (!sessionEnded) {
                readResult = AdsSyncReadReqEx(
                    port, &controller, device::kPlcMemoryIndexGroup, device::kResponseBlockOffset,
                    static_cast<uint32_t>(readBuffer.size()), readBuffer.data());
            }
        }
        if (sessionEnded) {
            running = false;
        } else if (readResult != ADSERR_NOERR) {
            PostDeviceEvent(s, DEVEVT_LINK, kLinkTransferFailed);
            running = false;
        }

        const bool readOk = !sessionEnded && readResult == ADSERR_NOERR;
        device::MailboxRecord response{};
        device::StatusBlock status{};
        if (readOk) {
            const std::span<const uint8_t> bytes(readBuffer);
            std::copy_n(bytes.begin(), response.size(), response.begin());
            std::copy_n(bytes.begin() + device::kMailboxBlockSize, status.size(), status.begin());
            // State before detail: a listener sees the new state first.
            if (const int16_t state = device::StateWord(status); state != lastState) {
                PostDeviceEvent(s, DEVEVT_STATE, state);
                lastState = state;
            }
            if (const int16_t detail = device::DetailWord(status); detail != lastDetail) {
                PostDeviceEvent(s, DEVEVT_DETAIL, detail);
                lastDetail = detail;
            }
        }

        {
            std::lock_guard lock(DeviceLock);
            if (!running) {
                s.connected = false;
            } else {
                s.responseBlock = response;
                s.statusBlock = status;
                // Close, or a failed version exchange in Connect, ends the worker here.
                running = s.connected;
            }
        }
        std::this_thread::sleep_for(device::kPollPause);
    }

    int32_t closeResult = 0;
    {
        std::lock_guard lock(DeviceLock);
        closeResult = AdsPortCloseEx(port);
    }
    PostDeviceEvent(s, DEVEVT_LINK,
                    closeResult == ADSERR_NOERR ? kLinkEndedCleanly : kLinkEndedWithCloseError);
    return 0;
}
