#include "ads/ads_connection.h"

#include <algorithm>

#include "ads/ads_api.h"
#include "platform/local_address.h"

namespace ads {
namespace {

// Waits are whole milliseconds; rounding up keeps a sub-millisecond remainder from spinning.
std::chrono::milliseconds Remaining(AdsConnection::Clock::time_point deadline) {
    const auto left = deadline - AdsConnection::Clock::now();
    if (left <= AdsConnection::Clock::duration::zero()) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::ceil<std::chrono::milliseconds>(left);
}

}  // namespace

bool AdsConnection::Turn::Take(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!released_.wait_until(lock, deadline, [this] { return !taken_; })) {
        return false;
    }
    taken_ = true;
    return true;
}

void AdsConnection::Turn::Give() {
    {
        std::lock_guard lock(mutex_);
        taken_ = false;
    }
    released_.notify_one();
}

// Gives the turn back on every way out of a transaction.
class AdsConnection::TurnGuard {
public:
    explicit TurnGuard(Turn& turn) : turn_(turn) {}
    ~TurnGuard() { turn_.Give(); }
    TurnGuard(const TurnGuard&) = delete;
    TurnGuard& operator=(const TurnGuard&) = delete;

private:
    Turn& turn_;
};

AdsConnection::AdsConnection(const platform::Ipv4& address, uint16_t tcpPort)
    : address_(address), tcpPort_(tcpPort) {}

void AdsConnection::DropLocked() {
    socket_.Close();
    assembler_.Clear();
}

template <typename OnFrame>
AdsConnection::Pump AdsConnection::Feed(std::span<const uint8_t> bytes, OnFrame&& onFrame) {
    assembler_.Append(bytes);
    for (;;) {
        ams::AmsHeader header;
        std::span<const uint8_t> data;
        switch (assembler_.NextDecoded(frame_, header, data)) {
            case ams::AmsFrameAssembler::Status::kNeedMore:
                return Pump::kOk;
            case ams::AmsFrameAssembler::Status::kMalformed:
                return Pump::kMalformed;
            case ams::AmsFrameAssembler::Status::kFrame:
                break;
        }
        if (onFrame(header, data)) {
            return Pump::kOk;
        }
    }
}

void AdsConnection::DiscardStale(Clock::time_point deadline) {
    // Bounded by the deadline too: a router that never stops sending cannot hold a call here.
    while (socket_.Valid() && Clock::now() < deadline &&
           socket_.WaitReadable(std::chrono::milliseconds(0)) == 1) {
        const int n = socket_.Receive(chunk_);
        if (n <= 0) {
            DropLocked();
            return;
        }
        const auto ignoreAll = [](const ams::AmsHeader&, std::span<const uint8_t>) {
            return false;
        };
        if (Feed(std::span<const uint8_t>(chunk_.data(), static_cast<size_t>(n)), ignoreAll) !=
            Pump::kOk) {
            DropLocked();
            return;
        }
    }
}

int32_t AdsConnection::EnsureConnected(Clock::time_point deadline) {
    if (socket_.Valid()) {
        return ADSERR_NOERR;
    }
    const auto limit = Remaining(deadline);
    if (limit.count() == 0) {
        return ADSERR_CLIENT_SYNCTIMEOUT;
    }
    socket_ = platform::TcpSocket::Create();
    if (!socket_.Valid()) {
        return ADSERR_TARGET_MACHINE_NOT_FOUND;
    }
    if (!socket_.Connect(address_, tcpPort_, limit)) {
        DropLocked();
        return Clock::now() >= deadline ? ADSERR_CLIENT_SYNCTIMEOUT
                                        : ADSERR_TARGET_MACHINE_NOT_FOUND;
    }
    socket_.SetNoDelay(true);
    return ADSERR_NOERR;
}

int32_t AdsConnection::Transact(ams::AmsHeader& request, std::span<const uint8_t> data,
                                Clock::time_point deadline, std::vector<uint8_t>& replyData) {
    if (!turn_.Take(deadline)) {
        return ADSERR_CLIENT_SYNCTIMEOUT;
    }
    TurnGuard guard(turn_);
    DiscardStale(deadline);
    if (const int32_t rc = EnsureConnected(deadline); rc != ADSERR_NOERR) {
        return rc;
    }

    const platform::Ipv4 asked{request.source.netId.b[0], request.source.netId.b[1],
                               request.source.netId.b[2], request.source.netId.b[3]};
    request.source.netId = ams::NetIdFromIpv4(platform::AddressTowardPeer(socket_, asked));
    // Invoke id 0 is left out: the firmware download uses it for its image records.
    request.invokeId = nextInvokeId_++;
    if (nextInvokeId_ == 0) {
        nextInvokeId_ = 1;
    }
    const std::vector<uint8_t> frame = ams::EncodeFrame(request, data);
    socket_.SetSendTimeout(Remaining(deadline));
    if (!socket_.SendAll(frame)) {
        DropLocked();
        return ADSERR_CLIENT_SYNCTIMEOUT;
    }

    return AwaitReply(request, deadline, replyData);
}

int32_t AdsConnection::AwaitReply(const ams::AmsHeader& request, Clock::time_point deadline,
                                  std::vector<uint8_t>& replyData) {
    bool answered = false;
    uint32_t amsError = 0;
    const auto isReply = [&](const ams::AmsHeader& header, std::span<const uint8_t> body) {
        // Anything else is a late answer to a request that already timed out.
        if ((header.stateFlags & ams::kFlagResponse) == 0 || header.invokeId != request.invokeId ||
            header.commandId != request.commandId) {
            return false;
        }
        answered = true;
        amsError = header.errorCode;
        replyData.assign(body.begin(), body.end());
        return true;
    };
    while (!answered) {
        const auto limit = Remaining(deadline);
        const int ready = limit.count() == 0 ? 0 : socket_.WaitReadable(limit);
        if (ready == 0) {
            // The connection stays: the late reply is dropped by the next request.
            return ADSERR_CLIENT_SYNCTIMEOUT;
        }
        const int n = ready < 0 ? -1 : socket_.Receive(chunk_);
        if (n <= 0) {
            DropLocked();
            return ADSERR_CLIENT_SYNCTIMEOUT;
        }
        if (Feed(std::span<const uint8_t>(chunk_.data(), static_cast<size_t>(n)), isReply) !=
            Pump::kOk) {
            DropLocked();
            return ADSERR_CLIENT_INVALIDRESPONSE;
        }
    }
    if (amsError != 0) {
        replyData.clear();
        return static_cast<int32_t>(amsError);
    }
    return ADSERR_NOERR;
}

}  // namespace ads
