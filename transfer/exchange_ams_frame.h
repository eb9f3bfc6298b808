// One request/reply exchange with the controller's AMS router over an AMS/TCP connection that
// the caller opened: one frame out in one send, one receive back, judged by its header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "ams/ams_types.h"
#include "platform/tcp_socket.h"

// The most one exchange reads. A longer reply, or the rest of one that came late, stays in the
// stream and is what the next exchange reads first: the download has no resynchronisation.
inline constexpr size_t kAmsReplyBufferSize = 1024;

// The request frame: AMS/TCP header, AMS header with state flags and error code 0, payload.
std::vector<uint8_t> BuildAmsRequest(const AmsAddr& target, const AmsAddr& source,
                                     uint16_t commandId, std::span<const uint8_t> payload,
                                     uint32_t invokeId);

// Sends the request and performs exactly one receive, bounded by the socket's own receive
// time-out. True when the reply answers it (ReplyAnswersRequest); every failure, a time-out
// included, is false and leaves the socket open for the next exchange.
bool ExchangeAmsFrame(platform::TcpSocket& socket, const AmsAddr& target, const AmsAddr& source,
                      uint16_t commandId, std::span<const uint8_t> payload, uint32_t invokeId);

// How one exchange went, for a caller that must tell a frame the controller never got from one
// it did not answer.
enum class FrameExchange {
    kAnswered,    // the reply answers the request
    kUnanswered,  // sent whole; no reply, or one that does not answer it
    kNotSent,     // the send failed or handed over only part of the frame
};
using ReceivedBytes = std::function<void(std::span<const uint8_t>)>;

// ExchangeAmsFrame, telling the three outcomes apart and handing every byte it received to
// `received` (when set), so the caller can follow the reply stream across exchanges.
FrameExchange ExchangeAmsFrameReporting(platform::TcpSocket& socket, const AmsAddr& target,
                                        const AmsAddr& source, uint16_t commandId,
                                        std::span<const uint8_t> payload, uint32_t invokeId,
                                        const ReceivedBytes& received);
