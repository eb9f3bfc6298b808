#include "tests/unit/transfer/recording_router.h"

#include <array>

#include "ams/ams_header.h"
#include "common/little_endian.h"

namespace corvane::test {
namespace {

// How often the serving thread looks at the stop flag while it waits for traffic.
constexpr std::chrono::milliseconds kPollSlice{20};

std::vector<uint8_t> ReplyTo(std::span<const uint8_t> request) {
    std::vector<uint8_t> reply(ams::kFrameHeaderSize, 0);
    common::StoreLe32(reply, 2, ams::kAmsHeaderSize);
    // The reply goes back to the sender: source and target swap places.
    std::copy(request.begin() + 14, request.begin() + 22, reply.begin() + 6);
    std::copy(request.begin() + 6, request.begin() + 14, reply.begin() + 14);
    common::StoreLe16(reply, 22, common::LoadLe16(request, 22));
    common::StoreLe16(reply, 24, ams::kFlagResponse);
    common::StoreLe32(reply, 34, common::LoadLe32(request, 34));
    return reply;
}

}  // namespace

RecordingRouter::RecordingRouter(const platform::Ipv4& address)
    : listener_(platform::TcpSocket::Create()) {
    listening_ =
        listener_.Valid() && listener_.Bind(address, ams::kRouterTcpPort) && listener_.Listen();
    if (listening_) {
        thread_ = std::thread([this] { Run(); });
    }
}

RecordingRouter::~RecordingRouter() {
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool RecordingRouter::WaitForClosedConnections(int count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return closed_ >= count; });
}

std::vector<std::vector<uint8_t>> RecordingRouter::Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

size_t RecordingRouter::FrameCount() const {
    std::lock_guard lock(mutex_);
    return frames_.size();
}

int RecordingRouter::ConnectionsAccepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::optional<platform::Ipv4> RecordingRouter::LastPeer() const {
    std::lock_guard lock(mutex_);
    return lastPeer_;
}

void RecordingRouter::Run() {
    while (!stopping_) {
        if (listener_.WaitReadable(kPollSlice) != 1) {
            continue;
        }
        platform::TcpSocket connection = listener_.Accept();
        if (!connection.Valid()) {
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            ++accepted_;
            lastPeer_ = connection.PeerAddress();
        }
        Serve(connection);
        {
            std::lock_guard lock(mutex_);
            ++closed_;
        }
        changed_.notify_all();
    }
}

void RecordingRouter::Serve(platform::TcpSocket& connection) {
    std::vector<uint8_t> pending;
    std::array<uint8_t, 4096> chunk;
    while (!stopping_) {
        const int ready = connection.WaitReadable(kPollSlice);
        if (ready == 0) {
            continue;
        }
        const int n = ready < 0 ? -1 : connection.Receive(chunk);
        if (n <= 0) {
            return;
        }
        pending.insert(pending.end(), chunk.begin(), chunk.begin() + n);
        size_t frameSize = 0;
        while (ams::PeekFrameSize(pending, frameSize) == ams::DecodeStatus::kOk &&
               pending.size() >= frameSize && frameSize >= ams::kFrameHeaderSize) {
            std::vector<uint8_t> frame(pending.begin(), pending.begin() + frameSize);
            pending.erase(pending.begin(), pending.begin() + frameSize);
            // Recorded before it is answered: once the flash has its reply, the frame is here.
            const std::vector<uint8_t> reply = ReplyTo(frame);
            {
                std::lock_guard lock(mutex_);
                frames_.push_back(std::move(frame));
            }
            changed_.notify_all();
            connection.SendAll(reply);
        }
    }
}

}  // namespace corvane::test
