#include "transfer/flash_firmware.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <span>

#include "ams/ams_header.h"
#include "device/device_timing.h"
#include "device/notify_progress.h"
#include "platform/ads_api.h"
#include "platform/local_address.h"
#include "transfer/exchange_ams_frame.h"
#include "transfer/firmware_image.h"

namespace {

// The controller's firmware download: command frames and image records, both to the PLC
// runtime's AMS port, from a fixed AMS port of this host.
constexpr uint16_t kDownloadCommandId = 0x5001;
constexpr uint16_t kDownloadImageId = 0x5006;
constexpr uint16_t kFlashSourcePort = 32779;  // 0x800B
constexpr uint32_t kImageInvokeId = 0;

// A missing reply only costs this long before the next frame goes out; no reply decides
// anything, so the wait is kept short.
constexpr std::chrono::milliseconds kReplyTimeout{30};
constexpr int kSendBufferSize = 0;
constexpr size_t kHostNameBufferSize = 80;
// How long closing the download connection waits for the controller to read the last frames.
constexpr std::chrono::milliseconds kCloseDrainLimit{5000};

struct CommandFrame {
    uint32_t invokeId;
    std::span<const uint8_t> data;
    int step;  // reported after the exchange
};

constexpr std::array<uint8_t, 15> kOpenDownload{0x01, 0x04, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00,
                                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr std::array<uint8_t, 1> kCommandCA{0xCA};
constexpr std::array<uint8_t, 1> kCommand11{0x11};
constexpr std::array<uint8_t, 1> kCommand0E{0x0E};
constexpr std::array<uint8_t, 4> kCommandCE{0xCE, 0x01, 0x00, 0x00};
constexpr std::array<uint8_t, 3> kClosing14{0x14, 0x00, 0x00};
constexpr std::array<uint8_t, 1> kClosingD4{0xD4};
constexpr std::array<uint8_t, 1> kClosingC4{0xC4};

// Progress steps: 1 start, 2 PLC stopped, 3 connected, 4-8 command frames, 9-47 image
// records, 49-51 closing frames (48 is never reported), 52 PLC running again.
constexpr int kStepStart = 1;
constexpr int kStepPlcStopped = 2;
constexpr int kStepConnected = 3;
constexpr int kStepFirstImageRecord = 9;
constexpr int kStepPlcRunning = 52;

const std::array<CommandFrame, 5> kCommandFrames{{
    {1, kOpenDownload, 4},
    {2, kCommandCA, 5},
    {3, kCommand11, 6},
    {4, kCommand0E, 7},
    {5, kCommandCE, 8},
}};
const std::array<CommandFrame, 3> kClosingFrames{{
    {6, kClosing14, 49},
    {7, kClosingD4, 50},
    {8, kClosingC4, 51},
}};

void ReportStep(int step) {
    if (ProgressWindow != nullptr) {
        NotifyProgress(step);
    }
}

// No result is examined: a controller that ignores the request is still driven on, and the
// wizard judges the outcome by reconnecting. The port is the request's own, so nothing else
// can close it under the request, and its time-out bounds the request like any ADS call.
void RequestPlcState(const AmsAddr& plc, uint16_t adsState) {
    const int32_t port = AdsPortOpenEx();
    AdsSyncSetTimeoutEx(port, static_cast<int32_t>(device::kAdsCallTimeout.count()));
    AdsSyncWriteControlReqEx(port, &plc, adsState, 0, 0, nullptr);
    AdsPortCloseEx(port);
}

void SendCommandFrames(platform::TcpSocket& socket, const AmsAddr& target, const AmsAddr& source,
                       std::span<const CommandFrame> frames) {
    for (const CommandFrame& frame : frames) {
        ExchangeAmsFrame(socket, target, source, kDownloadCommandId, frame.data, frame.invokeId);
        ReportStep(frame.step);
    }
}

// Replies that came after their receive time-out may still be unread. Closing a socket with
// unread data resets the connection, and the controller then discards frames it has not read
// yet, the closing commands among them. So: send FIN after the last frame, read and discard
// until the controller closes its side (it has then read everything), and only then close.
void CloseDownloadConnection(platform::TcpSocket& socket) {
    socket.ShutdownSend();
    const auto deadline = std::chrono::steady_clock::now() + kCloseDrainLimit;
    std::array<uint8_t, kAmsReplyBufferSize> discard;
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (socket.WaitReadable(left) != 1 || socket.Receive(discard) <= 0) {
            break;
        }
    }
    socket.Close();
}

// The download connection from its creation to its close, with the 47 frames between. Replies do
// not change the course: every frame goes out as soon as the previous exchange has ended.
int TransferImage(const platform::Ipv4& controller, const AmsAddr& target,
                  const LocalAddressSource& local) {
    platform::TcpSocket socket = platform::TcpSocket::Create();
    if (!socket.Valid()) {
        return FLASH_ERR_SOCKET;
    }
    if (!socket.Connect(controller, ams::kRouterTcpPort)) {
        return FLASH_ERR_CONNECT;
    }
    const std::optional<std::string> hostName = local.hostName ? local.hostName() : std::nullopt;
    if (!hostName) {
        return FLASH_ERR_HOST_NAME;
    }
    const std::optional<platform::Ipv4> hostAddress =
        local.firstIpv4 ? local.firstIpv4(*hostName) : std::nullopt;
    if (!hostAddress) {
        return FLASH_ERR_HOST_ADDRESS;
    }
    // The controller's router knows this host by the address the connection comes from, which
    // on a PC with several networks need not be the host name's first.
    const AmsAddr source{ams::NetIdFromIpv4(platform::AddressTowardPeer(socket, *hostAddress)),
                         kFlashSourcePort};
    ReportStep(kStepConnected);

    socket.SetReceiveTimeout(kReplyTimeout);
    socket.SetSendBufferSize(kSendBufferSize);

    SendCommandFrames(socket, target, source, kCommandFrames);
    const std::span<const uint8_t> image = FirmwareImage();
    int step = kStepFirstImageRecord;
    for (size_t offset = 0; offset + kFirmwareChunkSize <= image.size();
         offset += kFirmwareChunkSize) {
        ExchangeAmsFrame(socket, target, source, kDownloadImageId,
                         image.subspan(offset, kFirmwareChunkSize), kImageInvokeId);
        ReportStep(step++);
    }
    SendCommandFrames(socket, target, source, kClosingFrames);
    CloseDownloadConnection(socket);
    return FLASH_DONE;
}

uint8_t Octet(int value) {
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

LocalAddressSource SystemLocalAddressSource() {
    return LocalAddressSource{
        [] { return platform::LocalHostName(kHostNameBufferSize); },
        [](const std::string& name) { return platform::ResolveFirstIpv4(name); },
    };
}

int FlashFirmware(int a, int b, int c, int d) {
    return FlashFirmware(a, b, c, d, SystemLocalAddressSource());
}

int FlashFirmware(int a, int b, int c, int d, const LocalAddressSource& local) {
    const platform::Ipv4 controller{Octet(a), Octet(b), Octet(c), Octet(d)};
    const AmsAddr plc{ams::NetIdFromIpv4(controller), ams::kPlcRuntimePort};

    ReportStep(kStepStart);
    RequestPlcState(plc, ADSSTATE_STOP);
    ReportStep(kStepPlcStopped);

    // The socket is closed when TransferImage returns, on success and on every failure alike.
    const int result = TransferImage(controller, plc, local);
    // Also after a failure: a stopped PLC would leave the instrument idle until someone
    // restarts it by hand, and a retry stops it again anyway.
    RequestPlcState(plc, ADSSTATE_RUN);
    if (result == FLASH_DONE) {
        ReportStep(kStepPlcRunning);
    }
    return result;
}
