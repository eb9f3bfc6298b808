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

bool ExchangeAmsFrame(platform::TcpSocket& socket, const AmsAddr& target, const AmsAddr& source,
                      uint16_t commandId, std::span<const uint8_t> payload, uint32_t invokeId) {
    const std::vector<uint8_t> request =
        BuildAmsRequest(target, source, commandId, payload, invokeId);
    // A failed or partial send is not retried: the missing reply reports it.
    socket.Send(request);

    std::array<uint8_t, kAmsReplyBufferSize> reply;
    const int received = socket.Receive(reply);
    if (received <= 0) {
        return false;
    }
    return ReplyAnswersRequest(std::span<const uint8_t>(reply).first(static_cast<size_t>(received)),
                               commandId, invokeId);
}
