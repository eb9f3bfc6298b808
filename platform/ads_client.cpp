// The seven ADS client operations over the process-wide default port and one shared AMS/TCP
// connection per controller.
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "platform/ads_api.h"
#include "platform/ads_client_testing.h"
#include "platform/ads_connection.h"
#include "platform/ads_frame.h"
#include "platform/tcp_socket.h"

namespace {

constexpr int32_t kFirstPort = 0x8000;
constexpr int32_t kLastPort = 0xFFFF;
constexpr std::chrono::milliseconds kDefaultTimeout{5000};
// A request or reply must fit one AMS frame this client accepts.
constexpr uint32_t kMaxDataLength =
    ams::kMaxAmsLength - static_cast<uint32_t>(ams::kAmsHeaderSize) - 16;

struct ClientState {
    std::mutex mutex;
    int32_t openPort = 0;  // 0 = the default port is closed
    int32_t nextPort = kFirstPort;
    std::chrono::milliseconds timeout = kDefaultTimeout;
    AmsNetId localNetId{};
    std::map<uint32_t, std::shared_ptr<platform::AdsConnection>> connections;
};

// Never destroyed: a polling thread still inside a call while the process exits must not meet
// a destroyed mutex. The operating system closes the sockets.
ClientState& State() {
    alignas(ClientState) static unsigned char storage[sizeof(ClientState)];
    static ClientState* state = ::new (storage) ClientState();
    return *state;
}

AmsNetId LookUpLocalNetId() {
    const auto ip = platform::LocalFirstIpv4();
    return ams::NetIdFromIpv4(ip ? *ip : platform::Ipv4{127, 0, 0, 1});
}

uint32_t Ipv4Key(const platform::Ipv4& ip) {
    return (static_cast<uint32_t>(ip[0]) << 24) | (static_cast<uint32_t>(ip[1]) << 16) |
           (static_cast<uint32_t>(ip[2]) << 8) | ip[3];
}

// One ADS request to `target` on the default port, bounded by that port's time-out.
int32_t Request(const AmsAddr& target, uint16_t commandId, std::span<const uint8_t> data,
                std::vector<uint8_t>& reply) {
    ams::AmsHeader header;
    std::shared_ptr<platform::AdsConnection> connection;
    std::chrono::milliseconds timeout{};
    {
        ClientState& s = State();
        std::lock_guard lock(s.mutex);
        if (s.openPort == 0) {
            return ADSERR_CLIENT_PORTNOTOPEN;
        }
        timeout = s.timeout;
        header.source = AmsAddr{s.localNetId, static_cast<uint16_t>(s.openPort)};
        const platform::Ipv4 ip{target.netId.b[0], target.netId.b[1], target.netId.b[2],
                                target.netId.b[3]};
        auto& slot = s.connections[Ipv4Key(ip)];
        if (!slot) {
            slot = std::make_shared<platform::AdsConnection>(ip);
        }
        connection = slot;
    }
    header.target = target;
    header.commandId = commandId;
    header.stateFlags = ams::kFlagAdsCommand;
    const auto deadline = platform::AdsConnection::Clock::now() + timeout;
    return connection->Transact(header, data, deadline, reply);
}

}  // namespace

int32_t AdsPortOpen() {
    ClientState& s = State();
    {
        std::lock_guard lock(s.mutex);
        if (s.openPort != 0) {
            return s.openPort;
        }
    }
    // Resolving the host name may take a while; the lock is not held meanwhile.
    const AmsNetId local = LookUpLocalNetId();
    std::lock_guard lock(s.mutex);
    if (s.openPort == 0) {
        s.openPort = s.nextPort;
        s.nextPort = s.nextPort == kLastPort ? kFirstPort : s.nextPort + 1;
        s.timeout = kDefaultTimeout;
        s.localNetId = local;
    }
    return s.openPort;
}

int32_t AdsPortClose() {
    std::map<uint32_t, std::shared_ptr<platform::AdsConnection>> closing;
    {
        ClientState& s = State();
        std::lock_guard lock(s.mutex);
        if (s.openPort == 0) {
            return ADSERR_CLIENT_PORTNOTOPEN;
        }
        s.openPort = 0;
        // Connections go with the port; a call still under way keeps its own until it ends.
        closing.swap(s.connections);
    }
    return ADSERR_NOERR;
}

int32_t AdsGetLocalAddress(AmsAddr* pAddr) {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.openPort == 0) {
        return ADSERR_CLIENT_PORTNOTOPEN;
    }
    if (pAddr == nullptr) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    pAddr->netId = s.localNetId;
    pAddr->port = static_cast<uint16_t>(s.openPort);
    return ADSERR_NOERR;
}

int32_t AdsSyncSetTimeoutEx(int32_t port, int32_t timeoutMs) {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.openPort == 0 || port != s.openPort || timeoutMs <= 0) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    s.timeout = std::chrono::milliseconds(timeoutMs);
    return ADSERR_NOERR;
}

int32_t AdsSyncReadReq(const AmsAddr* pAddr, uint32_t indexGroup, uint32_t indexOffset,
                       uint32_t length, void* pData) {
    if (pAddr == nullptr || (length > 0 && pData == nullptr) || length > kMaxDataLength) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    const auto request = platform::ads::EncodeReadRequest({indexGroup, indexOffset, length});
    std::vector<uint8_t> reply;
    if (const int32_t rc = Request(*pAddr, ams::kCmdRead, request, reply); rc != ADSERR_NOERR) {
        return rc;
    }
    return platform::ads::DecodeReadReply(reply,
                                          std::span<uint8_t>(static_cast<uint8_t*>(pData), length));
}

int32_t AdsSyncWriteReq(const AmsAddr* pAddr, uint32_t indexGroup, uint32_t indexOffset,
                        uint32_t length, const void* pData) {
    if (pAddr == nullptr || (length > 0 && pData == nullptr) || length > kMaxDataLength) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    const auto request = platform::ads::EncodeWriteRequest(
        {indexGroup, indexOffset,
         std::span<const uint8_t>(static_cast<const uint8_t*>(pData), length)});
    std::vector<uint8_t> reply;
    if (const int32_t rc = Request(*pAddr, ams::kCmdWrite, request, reply); rc != ADSERR_NOERR) {
        return rc;
    }
    return platform::ads::DecodeResultReply(reply);
}

int32_t AdsSyncWriteControlReq(const AmsAddr* pAddr, uint16_t adsState, uint16_t devState,
                               uint32_t length, const void* pData) {
    if (pAddr == nullptr || (length > 0 && pData == nullptr) || length > kMaxDataLength) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    const auto request = platform::ads::EncodeWriteControlRequest(
        {adsState, devState, std::span<const uint8_t>(static_cast<const uint8_t*>(pData), length)});
    std::vector<uint8_t> reply;
    if (const int32_t rc = Request(*pAddr, ams::kCmdWriteControl, request, reply);
        rc != ADSERR_NOERR) {
        return rc;
    }
    return platform::ads::DecodeResultReply(reply);
}

void AdsClientResetForTests() {
    std::map<uint32_t, std::shared_ptr<platform::AdsConnection>> closing;
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    s.openPort = 0;
    s.nextPort = kFirstPort;
    s.timeout = kDefaultTimeout;
    closing.swap(s.connections);
}
