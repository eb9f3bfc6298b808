// The wizard's one connection to the instrument's PLC: opens an ADS session, learns the
// firmware version, registers this host, reads and writes device parameters, and ends again.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "device/device_session.h"
#include "device/exact_value.h"
#include "platform/window_message.h"

// Used from one (user-interface) thread only. Results are -1 for success and 0 for failure.
class CDeviceLink {
public:
    CDeviceLink();
    // A link dropped without Shutdown shuts down here, so no worker is left polling for it.
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Opens a session, on an ADS port of its own, to the controller at the four IPv4 octets
    // (low 8 bits of each count), and registers this host by the address it reaches the
    // controller from. Refused while connected, and when this link's worker of an earlier
    // session, which still reads the session record, does not end within the worker wait.
    int16_t Connect(int octet1, int octet2, int octet3, int octet4);
    // Whether the last Connect reached the controller: its status block was read, whatever
    // failed after that. A Connect that did not reach it found nothing answering.
    bool Reached() const { return reached_; }
    // Ends the session with a release request; -1 when ended or none was open, 0 when the
    // device did not answer (the session then stays open).
    int16_t Close();
    // Close, then wait (bounded) for the worker to end, keeping the thread's window messages
    // moving; posts WM_DEVICE_CLOSED. At worst, in terms of device/device_timing.h: the
    // release's ExchangeTimeLimit() + WorkerEndWait() + six waits for DeviceLock, each at most
    // one worker cycle of two ADS calls: ExchangeTimeLimit() + WorkerEndWait() +
    // 12 x AdsCallTimeout(). Only the lock waits leave the queue still.
    void Shutdown();
    // The device's state word, or -1 when not connected.
    int16_t GetState();
    // The parameter's value, or -1.0 on any failure (indistinguishable from a value of -1.0).
    float GetParameter(int16_t id);
    // -1 with `value` set when the parameter was read, 0 (value untouched) otherwise.
    int16_t TryGetParameter(int16_t id, float& value);
    // -1 when the device answered the write, 0 otherwise.
    int16_t SetParameter(int16_t id, float value);
    // The same without a detour through float: an integer parameter's integer as the device
    // sent it, a float parameter's bits (TryGetParameterExact), and the value placed as it is
    // (SetParameterExact; an integer for a float parameter is refused, nothing sent). Results
    // and the busy rule as above.
    int16_t TryGetParameterExact(int16_t id, device::ExactValue& value);
    int16_t SetParameterExact(int16_t id, const device::ExactValue& value);

    // From now on no Connect starts, and no mailbox exchange waits, past `notAfter`;
    // time_point::max() lifts the deadline. The link's own limits still apply within it.
    void SetDeadline(std::chrono::steady_clock::time_point notAfter);

    // Where WM_DEVICE_EVENT and WM_DEVICE_CLOSED go; null (the default) posts nothing.
    void SetNotificationWindow(platform::WindowHandle window);
    platform::WindowHandle NotificationWindow() const;

private:
    friend void PostDeviceEvent(DeviceSession& session, uintptr_t kind, intptr_t detail);

    // The steps of Connect.
    bool MayConnect();
    // A new port whose status read succeeded and showed no error; `local` is this host's
    // address toward the controller. Nothing (and the port closed) otherwise.
    std::optional<int32_t> OpenCheckedPort(const AmsAddr& controller, AmsAddr& local);
    bool StartSession(const AmsAddr& controller, int32_t port);
    bool LearnFirmwareVersion();
    // Closes the port of a session that failed to open.
    void AbandonPort(int32_t port);
    // Waits (bounded) until this link's worker of an earlier session has ended, keeping the
    // thread's window messages moving meanwhile; false when it did not end in time.
    bool WaitForEndingWorker();

    platform::WindowHandle notificationWindow_ = nullptr;
    bool reached_ = false;
    std::shared_ptr<DeviceSession> session_;
};
