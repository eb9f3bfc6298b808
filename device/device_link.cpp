#include "device/device_link.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>

#include "device/device_events.h"
#include "device/device_lock.h"
#include "device/device_messages.h"
#include "device/device_timing.h"
#include "device/exchange_command.h"
#include "device/mailbox_record.h"
#include "device/parameter_value.h"
#include "device/plc_memory.h"
#include "device/poll_worker.h"
#include "device/queue_wait.h"
#include "ads/ads_api.h"

namespace {

constexpr intptr_t kIdentificationErrorDetail = 4;
// Where CMD_REGISTER_HOST carries this host's IPv4 octets instead of an id and a value.
constexpr size_t kHostAddressOffset = device::kRecordParameterIdOffset;

uint8_t LowByte(int octet) {
    return static_cast<uint8_t>(octet & 0xFF);
}

}  // namespace

CDeviceLink::CDeviceLink() : session_(std::make_shared<DeviceSession>()) {
    session_->owner = this;
}

CDeviceLink::~CDeviceLink() {
    if (session_->worker.Started()) {
        Shutdown();
    }
    // A worker let go after a timed-out wait keeps the session but must not reach this link.
    const auto lock = device::LockMovingQueue();
    session_->owner = nullptr;
}

void CDeviceLink::SetNotificationWindow(platform::WindowHandle window) {
    const auto lock = device::LockMovingQueue();
    notificationWindow_ = window;
}

platform::WindowHandle CDeviceLink::NotificationWindow() const {
    const auto lock = device::LockMovingQueue();
    return notificationWindow_;
}

void CDeviceLink::SetDeadline(std::chrono::steady_clock::time_point notAfter) {
    const auto lock = device::LockMovingQueue();
    session_->exchangeDeadline = notAfter;
}

// The steps of opening a session, in the order the device expects them: refuse while one is
// open (or an earlier worker has not ended); read and check the status block on a port of
// the session's own; start the session and its worker; learn the firmware version through the
// mailbox; register this host.
int16_t CDeviceLink::Connect(int octet1, int octet2, int octet3, int octet4) {
    reached_ = false;
    if (!MayConnect()) {
        return 0;
    }
    AmsAddr controller{};
    controller.netId =
        ams::NetIdFromIpv4({LowByte(octet1), LowByte(octet2), LowByte(octet3), LowByte(octet4)});
    controller.port = ams::kPlcRuntimePort;

    AmsAddr local{};
    const std::optional<int32_t> port = OpenCheckedPort(controller, local);
    if (!port || !StartSession(controller, *port) || !LearnFirmwareVersion()) {
        return 0;
    }
    device::MailboxRecord registration = device::MakeRequest(CMD_REGISTER_HOST);
    std::copy_n(local.netId.b, 4, registration.begin() + kHostAddressOffset);
    return ExchangeCommand(*session_, registration);
}

bool CDeviceLink::MayConnect() {
    {
        const auto lock = device::LockMovingQueue();
        if (session_->connected || std::chrono::steady_clock::now() >= session_->exchangeDeadline) {
            return false;
        }
    }
    // The last session's worker reads this session record until its very last cycle: a new
    // session begun under it would find the old worker taking its requests, or ending it.
    return WaitForEndingWorker();
}

std::optional<int32_t> CDeviceLink::OpenCheckedPort(const AmsAddr& controller, AmsAddr& local) {
    // Its result is not checked: a failed open shows up as a failed read below.
    const int32_t port = AdsPortOpenEx();
    AdsSyncSetTimeoutEx(port, static_cast<int32_t>(device::AdsCallTimeout().count()));

    // The status block is checked into a buffer of Connect's own; the session's copy is the
    // worker's to keep.
    device::StatusBlock status{};
    {
        const auto lock = device::LockMovingQueue();
        if (AdsSyncReadReqEx(port, &controller, device::kPlcMemoryIndexGroup,
                             device::kStatusBlockOffset, static_cast<uint32_t>(status.size()),
                             status.data()) != ADSERR_NOERR) {
            AdsPortCloseEx(port);
            return std::nullopt;
        }
    }
    reached_ = true;
    // Asked only now that the read has reached the controller: the port's address is then the
    // one this host talks to the controller from, the one the instrument can reach it at,
    // whatever the host name resolves to first on a PC with several networks.
    if (AdsGetLocalAddressEx(port, &local) != ADSERR_NOERR) {
        AbandonPort(port);
        return std::nullopt;
    }
    if (device::StatusErrorCode(status) != 0) {
        AbandonPort(port);
        PostDeviceEvent(*session_, DEVEVT_LINK, kIdentificationErrorDetail);
        return std::nullopt;
    }
    return port;
}

bool CDeviceLink::StartSession(const AmsAddr& controller, int32_t port) {
    DeviceSession& s = *session_;
    {
        const auto lock = device::LockMovingQueue();
        s.controllerAddress = controller;
        s.port = port;
        s.connected = true;
        s.commandBlock = device::CarriedOverRequest(s.commandBlock, s.responseBlock);
    }
    if (s.worker.Start([session = session_] { PollWorker(session); })) {
        return true;
    }
    // Without a worker nothing would ever carry a request: undo the session at once.
    const auto lock = device::LockMovingQueue();
    s.connected = false;
    s.port = 0;
    AdsPortCloseEx(port);
    return false;
}

bool CDeviceLink::LearnFirmwareVersion() {
    DeviceSession& s = *session_;
    device::MailboxRecord version = device::MakeRequest(CMD_GET_PARAMETER);
    device::SetRecordParameterId(version, PARAM_FIRMWARE_VERSION);
    if (ExchangeCommand(s, version) != -1) {
        // The worker sees the cleared flag, ends and closes the port; the port stays recorded
        // for the next Close.
        const auto lock = device::LockMovingQueue();
        s.connected = false;
        return false;
    }
    const float firmwareVersion = device::FirmwareVersion(version[device::kRecordValueOffset],
                                                          version[device::kRecordValueOffset + 1]);
    const auto lock = device::LockMovingQueue();
    s.firmwareVersion = firmwareVersion;
    return true;
}

bool CDeviceLink::WaitForEndingWorker() {
    device::WorkerThread& worker = session_->worker;
    if (!device::WaitMovingQueue([&worker] { return worker.Ended(); },
                                 std::chrono::steady_clock::now() + device::WorkerEndWait())) {
        return false;
    }
    worker.WaitAndRelease(std::chrono::milliseconds{0});
    return true;
}

void CDeviceLink::AbandonPort(int32_t port) {
    const auto lock = device::LockMovingQueue();
    AdsPortCloseEx(port);
}

int16_t CDeviceLink::Close() {
    DeviceSession& s = *session_;
    bool connected = false;
    int32_t port = 0;
    {
        const auto lock = device::LockMovingQueue();
        connected = s.connected;
        port = s.port;
    }
    if (!connected) {
        if (port != 0) {
            AdsPortCloseEx(port);
            const auto lock = device::LockMovingQueue();
            s.port = 0;
        }
        return -1;
    }

    device::MailboxRecord release = device::MakeRequest(CMD_RELEASE);
    if (ExchangeCommand(s, release) != -1) {
        return 0;
    }
    const auto lock = device::LockMovingQueue();
    s.controllerAddress.netId = AmsNetId{};
    s.firmwareVersion = 0.0f;
    s.connected = false;
    s.port = 0;
    s.requestCounter = 0;
    AdsPortCloseEx(port);
    return -1;
}

void CDeviceLink::Shutdown() {
    DeviceSession& s = *session_;
    if (Close() != -1) {
        // The device did not take the release. The link is going away all the same, so the
        // session ends on this side: its worker stops and closes the port instead of polling
        // on for nobody.
        const auto lock = device::LockMovingQueue();
        s.connected = false;
    }
    if (s.worker.Started() && !WaitForEndingWorker()) {
        // Let go: it owns the session with it and ends on its own.
        s.worker.WaitAndRelease(std::chrono::milliseconds{0});
    }
    if (const platform::WindowHandle window = NotificationWindow(); window != nullptr) {
        platform::PostWindowMessage(window, WM_DEVICE_CLOSED, 0, 0);
    }
}

int16_t CDeviceLink::GetState() {
    const auto lock = device::LockMovingQueue();
    return session_->connected ? device::StateWord(session_->statusBlock) : int16_t{-1};
}

float CDeviceLink::GetParameter(int16_t id) {
    float value = 0.0f;
    return TryGetParameter(id, value) == -1 ? value : -1.0f;
}

int16_t CDeviceLink::TryGetParameter(int16_t id, float& value) {
    device::ExactValue exact;
    if (TryGetParameterExact(id, exact) != -1) {
        return 0;
    }
    value = exact.ToFloat();
    return -1;
}

int16_t CDeviceLink::TryGetParameterExact(int16_t id, device::ExactValue& value) {
    DeviceSession& s = *session_;
    if (id == PARAM_FIRMWARE_VERSION) {
        // Kept from Connect; the device is not asked again.
        const auto lock = device::LockMovingQueue();
        if (!s.connected) {
            return 0;
        }
        value = device::ExactValue::Float(s.firmwareVersion);
        return -1;
    }

    device::MailboxRecord request = device::MakeRequest(CMD_GET_PARAMETER);
    device::SetRecordParameterId(request, id);
    if (ExchangeCommand(s, request) != -1 || device::RecordParameterId(request) != id) {
        return 0;
    }
    const std::optional<device::ExactValue> decoded =
        device::DecodeExactParameterValue(id, request);
    if (!decoded) {
        return 0;
    }
    value = *decoded;
    return -1;
}

int16_t CDeviceLink::SetParameter(int16_t id, float value) {
    return SetParameterExact(id, device::ExactValue::Float(value));
}

int16_t CDeviceLink::SetParameterExact(int16_t id, const device::ExactValue& value) {
    DeviceSession& s = *session_;
    bool connected = false;
    device::StatusBlock status{};
    {
        const auto lock = device::LockMovingQueue();
        connected = s.connected;
        status = s.statusBlock;
    }
    if (connected && device::StateWord(status) == device::kDeviceStateBusy) {
        return 0;
    }

    device::MailboxRecord request = device::MakeRequest(CMD_SET_PARAMETER);
    device::SetRecordParameterId(request, id);
    if (!device::EncodeExactParameterValue(id, value, request)) {
        return 0;
    }
    return ExchangeCommand(s, request);
}
