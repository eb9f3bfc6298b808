// Fuzzes the ADS client's connection with a hostile router over real loopback TCP: the router
// reads the client's request and answers with the fuzzed bytes, sent in pieces, then closes.
// Whatever comes back, the request ends at once with exactly the result a plain reading of
// the stream gives: the first well-formed response to it (its data, or its AMS error), an
// invalid response for a stream out of step before it, or a time-out when the router closed
// without answering.
//
// Input (shared with the reply fuzzer's seeds): byte 0 sets the router's send sizes, byte 1
// the ADS command of the request, the rest is what the router sends.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "ams/ams_header.h"
#include "ads/ads_api.h"
#include "ads/ads_connection.h"
#include "ams/ams_stream.h"
#include "platform/tcp_socket.h"

namespace {

using Clock = std::chrono::steady_clock;
using ams::AmsFrameAssembler;
using std::chrono::milliseconds;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

constexpr std::array<uint16_t, 4> kCommands{ams::kCmdRead, ams::kCmdWrite, ams::kCmdReadState,
                                            ams::kCmdWriteControl};
// A fresh connection numbers its first request 1.
constexpr uint32_t kFirstInvokeId = 1;
constexpr milliseconds kLimit{3000};

// The router's listening socket, bound once to a free port on this run's loopback subnet.
struct Listener {
    Listener() {
        const char* subnet = std::getenv("CORVANE_TEST_SUBNET");
        const long n = subnet != nullptr ? std::strtol(subnet, nullptr, 10) : 0;
        address = {127, static_cast<uint8_t>(n >= 1 && n <= 254 ? n : 0), 253, 1};
        socket = platform::TcpSocket::Create();
        Require(socket.Bind(address, 0) && socket.Listen());
        port = socket.LocalPort();
    }
    platform::Ipv4 address{};
    platform::TcpSocket socket;
    uint16_t port = 0;
};

Listener& TheListener() {
    static Listener listener;
    return listener;
}

// One connection of the hostile router: takes the request, sends `stream`, closes its side and
// waits for the client to go.
void Route(platform::TcpSocket& listener, std::span<const uint8_t> stream, uint8_t seed) {
    if (listener.WaitReadable(kLimit) != 1) {
        return;
    }
    platform::TcpSocket peer = listener.Accept();
    if (!peer.Valid()) {
        return;
    }
    peer.SetNoDelay(true);
    AmsFrameAssembler assembler;
    std::vector<uint8_t> frame;
    std::array<uint8_t, 1024> chunk{};
    while (assembler.Next(frame) != AmsFrameAssembler::Status::kFrame) {
        if (peer.WaitReadable(kLimit) != 1) {
            return;
        }
        const int n = peer.Receive(chunk);
        if (n <= 0) {
            return;
        }
        assembler.Append(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(n)));
    }
    uint32_t state = seed * 2654435761u + 3;
    for (size_t at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(stream.size() - at, 1 + (state >> 16) % 700);
        if (!peer.SendAll(stream.subspan(at, n))) {
            return;  // the client took its answer and went
        }
        at += n;
    }
    peer.ShutdownSend();
    if (peer.WaitReadable(kLimit) == 1) {
        peer.Receive(chunk);
    }
}

struct Expected {
    int32_t result = ADSERR_CLIENT_SYNCTIMEOUT;
    std::vector<uint8_t> data;
};

// The plain reading: frames in order until the first response to the request.
Expected Judge(std::span<const uint8_t> stream, uint16_t commandId) {
    Expected expected;
    AmsFrameAssembler assembler;
    assembler.Append(stream);
    std::vector<uint8_t> frame;
    for (;;) {
        const auto status = assembler.Next(frame);
        if (status == AmsFrameAssembler::Status::kNeedMore) {
            return expected;  // closed without an answer
        }
        ams::AmsHeader header;
        std::span<const uint8_t> data;
        if (status == AmsFrameAssembler::Status::kMalformed ||
            ams::DecodeFrame(frame, header, data) != ams::DecodeStatus::kOk) {
            expected.result = ADSERR_CLIENT_INVALIDRESPONSE;
            return expected;
        }
        if ((header.stateFlags & ams::kFlagResponse) != 0 && header.invokeId == kFirstInvokeId &&
            header.commandId == commandId) {
            expected.result = static_cast<int32_t>(header.errorCode);
            if (header.errorCode == 0) {
                expected.data.assign(data.begin(), data.end());
            }
            return expected;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 2) {
        return 0;
    }
    Listener& listener = TheListener();
    const uint16_t commandId = kCommands[bytes[1] % kCommands.size()];
    const std::span<const uint8_t> stream(bytes + 2, size - 2);

    std::thread router([&] { Route(listener.socket, stream, bytes[0]); });
    int32_t result = 0;
    std::vector<uint8_t> reply{0xEE};  // must be replaced or cleared, never kept
    const auto start = Clock::now();
    {
        ads::AdsConnection connection(listener.address, listener.port);
        ams::AmsHeader request;
        request.target = AmsAddr{ams::NetIdFromIpv4(listener.address), ams::kPlcRuntimePort};
        request.source = AmsAddr{AmsNetId{{127, 0, 0, 1, 1, 1}}, 0x8000};
        request.commandId = commandId;
        request.stateFlags = ams::kFlagAdsCommand;
        const std::array<uint8_t, 12> data{0x20, 0x40, 0, 0, 164, 0, 0, 0, 28, 0, 0, 0};
        result = connection.Transact(request, data, start + kLimit, reply);
    }
    const auto elapsed = Clock::now() - start;
    router.join();

    const Expected expected = Judge(stream, commandId);
    Require(result == expected.result);
    if (result == ADSERR_NOERR) {
        Require(reply == expected.data);
    } else if (expected.result != ADSERR_CLIENT_SYNCTIMEOUT &&
               expected.result != ADSERR_CLIENT_INVALIDRESPONSE) {
        // An answer carrying an AMS error leaves no data behind.
        Require(reply.empty());
    }
    // The router closed after its last byte: nothing may wait for the deadline.
    Require(elapsed < kLimit - milliseconds(500));
    return 0;
}
