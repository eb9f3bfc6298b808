// One AMS/TCP connection from this host to a controller's router, shared by every thread that
// talks to that controller: one request and its reply at a time, matched by invoke id and
// command id, each bounded by the caller's deadline (connecting included).
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "ams/ams_stream.h"
#include "platform/tcp_socket.h"

namespace ads {

class AdsConnection {
public:
    using Clock = std::chrono::steady_clock;

    explicit AdsConnection(const platform::Ipv4& address, uint16_t tcpPort = ams::kRouterTcpPort);
    AdsConnection(const AdsConnection&) = delete;
    AdsConnection& operator=(const AdsConnection&) = delete;

    // Sends `request` and waits for the response with the same invoke id and command id until
    // `deadline`. Filled in here, and left in `request` afterwards: the invoke id, and the
    // source NetId, which is the local end of the connection followed by 1.1, the address the
    // router knows this host by (the caller's stays only while there is no connection).
    // Returns 0 with the response's data in `replyData`, the response's AMS error code, or a
    // client error:
    // ADSERR_TARGET_MACHINE_NOT_FOUND (connection refused), ADSERR_CLIENT_SYNCTIMEOUT (deadline
    // passed, or the router closed the connection before answering),
    // ADSERR_CLIENT_INVALIDRESPONSE (a malformed stream; the connection is dropped).
    int32_t Transact(ams::AmsHeader& request, std::span<const uint8_t> data,
                     Clock::time_point deadline, std::vector<uint8_t>& replyData);

private:
    enum class Pump { kOk, kClosed, kMalformed };

    int32_t EnsureConnected(Clock::time_point deadline);
    // Takes what the router sent while nobody was waiting: late replies are dropped, and a
    // connection the router closed meanwhile is noticed before a request is lost on it.
    void DiscardStale(Clock::time_point deadline);
    // Moves received bytes into the assembler and hands each complete frame to `onFrame`,
    // which returns true when it has found the awaited reply.
    template <typename OnFrame>
    Pump Feed(std::span<const uint8_t> bytes, OnFrame&& onFrame);
    void DropLocked();
    // Reads until the response to `request` (sent already) has come, or until `deadline`.
    int32_t AwaitReply(const ams::AmsHeader& request, Clock::time_point deadline,
                       std::vector<uint8_t>& replyData);

    // Serialises request and reply on the connection; a caller waits for its turn only until
    // its own deadline. (A mutex and a flag rather than std::timed_mutex, whose timed lock the
    // thread sanitizer cannot follow.)
    class Turn {
    public:
        bool Take(Clock::time_point deadline);
        void Give();

    private:
        std::mutex mutex_;
        std::condition_variable released_;
        bool taken_ = false;
    };
    class TurnGuard;

    const platform::Ipv4 address_;
    const uint16_t tcpPort_;
    Turn turn_;
    platform::TcpSocket socket_;
    ams::AmsFrameAssembler assembler_;
    std::vector<uint8_t> frame_;
    std::array<uint8_t, 4096> chunk_{};
    uint32_t nextInvokeId_ = 1;
};

}  // namespace ads
