#include "transfer/flash_firmware.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "device/device_timing.h"
#include "device/notify_progress.h"
#include "ads/ads_api.h"
#include "ams/ams_stream.h"
#include "platform/window_message.h"
#include "platform/local_address.h"
#include "transfer/exchange_ams_frame.h"
#include "transfer/firmware_image.h"
#include "transfer/flash_steps.h"
#include "transfer/plc_control.h"

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
// While the flash waits for the controller's last replies, the wizard's queue is moved this
// often.
constexpr std::chrono::milliseconds kWaitSlice{100};

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

const std::array<CommandFrame, 5> kCommandFrames{{
    {1, kOpenDownload, FLASH_STEP_FIRST_COMMAND},
    {2, kCommandCA, FLASH_STEP_FIRST_COMMAND + 1},
    {3, kCommand11, FLASH_STEP_FIRST_COMMAND + 2},
    {4, kCommand0E, FLASH_STEP_FIRST_COMMAND + 3},
    {5, kCommandCE, FLASH_STEP_FIRST_COMMAND + 4},
}};
const std::array<CommandFrame, 3> kClosingFrames{{
    {6, kClosing14, FLASH_STEP_FIRST_CLOSING},
    {7, kClosingD4, FLASH_STEP_FIRST_CLOSING + 1},
    {8, kClosingC4, FLASH_STEP_FIRST_CLOSING + 2},
}};
// The controller answers frames in order: its reply to the last closing frame means it has
// read the whole download.
constexpr uint32_t kLastInvokeId = 8;

using Clock = FlashClock;

// Follows the controller's reply stream across the whole download (each exchange reads what
// has arrived, which may end amid a frame) to learn when the last frame has been answered.
class ReplyTracker {
public:
    void Take(std::span<const uint8_t> bytes) {
        if (lost_ || lastAnswered_) {
            return;
        }
        assembler_.Append(bytes);
        for (;;) {
            ams::AmsHeader header;
            std::span<const uint8_t> data;
            const auto status = assembler_.NextDecoded(frame_, header, data);
            if (status == ams::AmsFrameAssembler::Status::kNeedMore) {
                return;
            }
            if (status == ams::AmsFrameAssembler::Status::kMalformed) {
                // Out of step: from here only the controller's silence or close tells.
                lost_ = true;
                assembler_.Clear();
                return;
            }
            // Answered with an error code is answered all the same: the frame was read.
            if (header.commandId == kDownloadCommandId && header.invokeId == kLastInvokeId) {
                lastAnswered_ = true;
                return;
            }
        }
    }
    bool LastFrameAnswered() const { return lastAnswered_; }

private:
    ams::AmsFrameAssembler assembler_;
    std::vector<uint8_t> frame_;
    bool lost_ = false;
    bool lastAnswered_ = false;
};

// The download connection with its deadline and the reply stream it follows.
struct Download {
    platform::TcpSocket& socket;
    const AmsAddr& target;
    const AmsAddr& source;
    Clock::time_point end;
    ReplyTracker replies;
};

void ReportStep(int step) {
    if (ProgressWindow != nullptr) {
        NotifyProgress(step);
    }
}

void PumpWizardQueue() {
    if (ProgressWindow != nullptr) {
        platform::PumpAllMessages();
    }
}

// One frame of the download. False when the download cannot go on: its time is up, or the
// frame did not go out whole (the connection broke, or the controller stopped reading and the
// send ran into its limit), which leaves the stream out of step for every later frame.
bool SendFrame(Download& download, uint16_t commandId, std::span<const uint8_t> data,
               uint32_t invokeId) {
    if (Clock::now() >= download.end) {
        return false;
    }
    return ExchangeAmsFrameReporting(download.socket, download.target, download.source, commandId,
                                     data, invokeId, [&download](std::span<const uint8_t> bytes) {
                                         download.replies.Take(bytes);
                                     }) != FrameExchange::kNotSent;
}

bool SendCommandFrames(Download& download, std::span<const CommandFrame> frames) {
    for (const CommandFrame& frame : frames) {
        if (!SendFrame(download, kDownloadCommandId, frame.data, frame.invokeId)) {
            return false;
        }
        ReportStep(frame.step);
    }
    return true;
}

bool SendImage(Download& download) {
    const std::span<const uint8_t> image = FirmwareImage();
    int step = FLASH_STEP_FIRST_RECORD;
    for (size_t offset = 0; offset + kFirmwareChunkSize <= image.size();
         offset += kFirmwareChunkSize) {
        if (!SendFrame(download, kDownloadImageId, image.subspan(offset, kFirmwareChunkSize),
                       kImageInvokeId)) {
            return false;
        }
        ReportStep(step++);
    }
    return true;
}

// A controller that replies slowly is still reading the download when the last frame has gone
// out, and RUN sent now would overtake it. So: send FIN, and read until it has answered the
// last frame or closed its side (it has then read everything), keeping the wizard's window
// live. A controller that stays quiet for the quiet limit is not waited for any longer,
// nor one still talking when the download's time is up. Replies are all read before the
// close, so it ends the connection cleanly instead of resetting it.
void AwaitLastReply(Download& download) {
    download.socket.ShutdownSend();
    std::array<uint8_t, kAmsReplyBufferSize> buffer;
    auto quietEnd = Clock::now() + device::FlashQuietLimit();
    while (!download.replies.LastFrameAnswered()) {
        const auto end = std::min(quietEnd, download.end);
        const auto now = Clock::now();
        if (now >= end) {
            break;
        }
        const auto slice =
            std::min(std::chrono::ceil<std::chrono::milliseconds>(end - now), kWaitSlice);
        const int ready = download.socket.WaitReadable(slice);
        if (ready < 0) {
            break;
        }
        if (ready == 1) {
            const int count = download.socket.Receive(buffer);
            if (count <= 0) {
                break;
            }
            download.replies.Take(
                std::span<const uint8_t>(buffer).first(static_cast<size_t>(count)));
            quietEnd = Clock::now() + device::FlashQuietLimit();
        }
        PumpWizardQueue();
    }
}

// The download connection from its creation to its close, with the 47 frames between. Replies do
// not change the course: every frame goes out as soon as the previous exchange has ended.
int TransferImage(const platform::Ipv4& controller, const AmsAddr& target,
                  const LocalAddressSource& local, Clock::time_point notAfter) {
    platform::TcpSocket socket = platform::TcpSocket::Create();
    if (!socket.Valid()) {
        return FLASH_ERR_SOCKET;
    }
    const auto connectLimit =
        std::min(device::AdsCallTimeout(), std::chrono::ceil<std::chrono::milliseconds>(std::max(
                                               notAfter - Clock::now(), Clock::duration::zero())));
    if (!socket.Connect(controller, ams::kRouterTcpPort, connectLimit)) {
        return FLASH_ERR_CONNECT;
    }
    const auto downloadStart = Clock::now();
    const std::optional<std::string> hostName = local.hostName ? local.hostName() : std::nullopt;
    if (!hostName) {
        return FLASH_ERR_HOST_NAME;
    }
    // A name server that never answers must not hold the wizard: the resolution is given up
    // like any other call.
    const platform::HostLookup named{[&hostName] { return hostName; }, local.firstIpv4};
    const std::optional<platform::Ipv4> hostAddress =
        platform::HostFirstIpv4Within(named, device::AdsCallTimeout());
    if (!hostAddress) {
        return FLASH_ERR_HOST_ADDRESS;
    }
    // The controller's router knows this host by the address the connection comes from, which
    // on a PC with several networks need not be the host name's first.
    const AmsAddr source{ams::NetIdFromIpv4(platform::AddressTowardPeer(socket, *hostAddress)),
                         kFlashSourcePort};
    ReportStep(FLASH_STEP_CONNECTED);

    socket.SetReceiveTimeout(kReplyTimeout);
    socket.SetSendBufferSize(kSendBufferSize);
    // A controller that accepts the connection and stops reading must not hold the wizard.
    socket.SetSendTimeout(device::AdsCallTimeout());

    Download download{socket,
                      target,
                      source,
                      std::min(notAfter, downloadStart + device::FlashDownloadLimit()),
                      {}};
    if (!SendCommandFrames(download, kCommandFrames) || !SendImage(download) ||
        !SendCommandFrames(download, kClosingFrames)) {
        // Nothing more can reach the controller on this connection; it is dropped as it is.
        socket.Close();
        return FLASH_ERR_INCOMPLETE;
    }
    AwaitLastReply(download);
    socket.Close();
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
    return FlashFirmware(a, b, c, d, local, Clock::time_point::max());
}

int FlashFirmware(int a, int b, int c, int d, const LocalAddressSource& local,
                  Clock::time_point notAfter) {
    FlashReport report;
    return FlashFirmware(a, b, c, d, local, notAfter, report);
}

int FlashFirmware(int a, int b, int c, int d, const LocalAddressSource& local,
                  Clock::time_point notAfter, FlashReport& report) {
    const platform::Ipv4 controller{Octet(a), Octet(b), Octet(c), Octet(d)};
    const AmsAddr plc = PlcAddress(a, b, c, d);
    report = FlashReport{};

    ReportStep(FLASH_STEP_START);
    // The sequence goes on whatever STOP and RUN answer: a controller that ignores the request
    // is still driven on. What they answered goes to the caller, who judges the outcome.
    report.stopSent = true;
    report.stopAcknowledged = RequestPlcState(plc, ADSSTATE_STOP);
    ReportStep(FLASH_STEP_PLC_STOPPED);

    // The socket is closed when TransferImage returns, on success and on every failure alike.
    const int result = TransferImage(controller, plc, local, notAfter);
    report.imageWhole = result == FLASH_DONE;
    // Also after a failure: a stopped PLC would leave the instrument idle until someone
    // restarts it by hand, and a retry stops it again anyway.
    report.runSent = true;
    report.runAcknowledged = RequestPlcState(plc, ADSSTATE_RUN);
    if (result == FLASH_DONE) {
        ReportStep(FLASH_STEP_PLC_RUNNING);
    }
    return result;
}
