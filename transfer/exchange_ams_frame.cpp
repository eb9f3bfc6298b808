#include "transfer/exchange_ams_frame.h"

#include <array>

#include "ams/ams_header.h"
#include "transfer/ams_reply_judge.h"

std::vector<uint8_t> BuildAmsRequest(const AmsAddr& target, const AmsAddr& source,
                                     uint16_t commandId, std::span<const uint8_t> payload,
                                     uint32_t invokeId) {
    ams::AmsHeader header;
    header.target = target;
    header.source = source;
    header.commandId = commandId;
    header.stateFlags = 0;  // the download frames carry neither the request nor the ADS flag
    header.errorCode = 0;
    header.invokeId = invokeId;
    return ams::EncodeFrame(header, payload);
}

FrameExchange ExchangeAmsFrameReporting(platform::TcpSocket& socket, const AmsAddr& target,
                                        const AmsAddr& source, uint16_t commandId,
                                        std::span<const uint8_t> payload, uint32_t invokeId,
                                        const ReceivedBytes& received) {
    const std::vector<uint8_t> request =
        BuildAmsRequest(target, source, commandId, payload, invokeId);
    // One send, not retried: a frame that did not go out whole leaves the stream out of step,
    // and the caller learns it here.
    if (socket.Send(request) != static_cast<int>(request.size())) {
        return FrameExchange::kNotSent;
    }

    std::array<uint8_t, kAmsReplyBufferSize> reply;
    const int count = socket.Receive(reply);
    if (count <= 0) {
        return FrameExchange::kUnanswered;
    }
    const auto bytes = std::span<const uint8_t>(reply).first(static_cast<size_t>(count));
    if (received) {
        received(bytes);
    }
    return ReplyAnswersRequest(bytes, commandId, invokeId) ? FrameExchange::kAnswered
                                                           : FrameExchange::kUnanswered;
}

bool ExchangeAmsFrame(platform::TcpSocket& socket, const AmsAddr& target, const AmsAddr& source,
                      uint16_t commandId, std::span<const uint8_t> payload, uint32_t invokeId) {
    return ExchangeAmsFrameReporting(socket, target, source, commandId, payload, invokeId, {}) ==
           FrameExchange::kAnswered;
}
