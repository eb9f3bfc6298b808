// The ADS client's operations: ports, each with its own time-out, over one AMS/TCP connection
// per controller that every port talking to that controller shares.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "ads/ads_connection.h"
#include "ams/ads_frame.h"
#include "platform/local_address.h"
#include "platform/tcp_socket.h"

namespace {

constexpr int32_t kFirstPort = 0x8000;
constexpr int32_t kLastPort = 0xFFFF;
constexpr std::chrono::milliseconds kDefaultTimeout{5000};
// A request or reply must fit one AMS frame this client accepts.
constexpr uint32_t kMaxDataLength =
    ams::kMaxAmsLength - static_cast<uint32_t>(ams::kAmsHeaderSize) - 16;

using ConnectionPtr = std::shared_ptr<ads::AdsConnection>;

struct Port {
    std::chrono::milliseconds timeout = kDefaultTimeout;
    // The source NetId its requests carry; each request that goes out sets it to the one it
    // went out with. None until then, or until asked for (a host-name look-up stands in).
    std::optional<AmsNetId> localNetId;
    // Its share of each connection it used, by controller address.
    std::map<uint32_t, ConnectionPtr> connections;
};

struct ClientState {
    std::mutex mutex;
    std::map<int32_t, Port> ports;
    int32_t defaultPort = 0;  // 0 = the default port is closed
    int32_t nextPort = kFirstPort;
    // One connection per controller, alive while a port holds a share of it or a call uses it.
    std::map<uint32_t, std::weak_ptr<ads::AdsConnection>> connections;
    platform::HostLookup hostLookup;  // none set: the system's
};

// Never destroyed: a polling thread still inside a call while the process exits must not meet
// a destroyed mutex. The operating system closes the sockets.
ClientState& State() {
    alignas(ClientState) static unsigned char storage[sizeof(ClientState)];
    static ClientState* state = ::new (storage) ClientState();
    return *state;
}

// Before a port has reached a controller there is no connection to ask for the address that
// faces it; the host name's first address stands in until then. Made only when asked for, and
// given up after `limit`, since a name server may never answer.
AmsNetId LookUpHostNetId(std::chrono::milliseconds limit) {
    platform::HostLookup lookup;
    {
        ClientState& s = State();
        std::lock_guard lock(s.mutex);
        lookup = s.hostLookup;
    }
    // Resolving the host name may take a while; the lock is not held meanwhile.
    const auto ip = platform::HostFirstIpv4Within(
        lookup.hostName ? lookup : platform::SystemHostLookup(), limit);
    return ams::NetIdFromIpv4(ip.value_or(platform::Ipv4{127, 0, 0, 1}));
}

uint32_t Ipv4Key(const platform::Ipv4& ip) {
    return (static_cast<uint32_t>(ip[0]) << 24) | (static_cast<uint32_t>(ip[1]) << 16) |
           (static_cast<uint32_t>(ip[2]) << 8) | ip[3];
}

// Numbers go on upward rather than being handed out again at once, so a late closing by an old
// owner can never meet a port opened since.
int32_t OpenPortLocked(ClientState& s) {
    for (int32_t tried = 0; tried <= kLastPort - kFirstPort; ++tried) {
        const int32_t number = s.nextPort;
        s.nextPort = number == kLastPort ? kFirstPort : number + 1;
        if (!s.ports.contains(number)) {
            s.ports[number] = Port{};
            return number;
        }
    }
    return 0;
}

int32_t ClosePort(bool defaultPort, int32_t port) {
    // The port's shares of its connections go after the lock: a connection closes its socket
    // when its last share goes, and a call still under way keeps its own until it ends.
    std::map<uint32_t, ConnectionPtr> closing;
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    if (defaultPort) {
        port = s.defaultPort;
    }
    const auto it = s.ports.find(port);
    if (it == s.ports.end()) {
        return ADSERR_CLIENT_PORTNOTOPEN;
    }
    closing.swap(it->second.connections);
    s.ports.erase(it);
    if (port == s.defaultPort) {
        s.defaultPort = 0;
    }
    return ADSERR_NOERR;
}

ConnectionPtr ShareConnection(ClientState& s, Port& port, const platform::Ipv4& ip) {
    const uint32_t key = Ipv4Key(ip);
    ConnectionPtr& share = port.connections[key];
    if (!share) {
        std::weak_ptr<ads::AdsConnection>& existing = s.connections[key];
        share = existing.lock();
        if (!share) {
            std::erase_if(s.connections, [](const auto& entry) { return entry.second.expired(); });
            share = std::make_shared<ads::AdsConnection>(ip);
            s.connections[key] = share;
        }
    }
    return share;
}

// One ADS request to `target` on `port`, bounded by that port's time-out.
int32_t Request(int32_t port, const AmsAddr& target, uint16_t commandId,
                std::span<const uint8_t> data, std::vector<uint8_t>& reply) {
    ClientState& s = State();
    ams::AmsHeader header;
    ConnectionPtr connection;
    std::chrono::milliseconds timeout{};
    {
        std::lock_guard lock(s.mutex);
        const auto it = s.ports.find(port);
        if (it == s.ports.end()) {
            return ADSERR_CLIENT_PORTNOTOPEN;
        }
        timeout = it->second.timeout;
        // The connection puts in its own local end; this stands only where it cannot tell.
        header.source =
            AmsAddr{it->second.localNetId.value_or(AmsNetId{}), static_cast<uint16_t>(port)};
        connection = ShareConnection(
            s, it->second,
            {target.netId.b[0], target.netId.b[1], target.netId.b[2], target.netId.b[3]});
    }
    header.target = target;
    header.commandId = commandId;
    header.stateFlags = ams::kFlagAdsCommand;
    const auto deadline = ads::AdsConnection::Clock::now() + timeout;
    const int32_t result = connection->Transact(header, data, deadline, reply);
    std::lock_guard lock(s.mutex);
    if (const auto it = s.ports.find(port); it != s.ports.end()) {
        it->second.localNetId = header.source.netId;
    }
    return result;
}

bool ValidBuffer(const AmsAddr* pAddr, uint32_t length, const void* pData) {
    return pAddr != nullptr && (length == 0 || pData != nullptr) && length <= kMaxDataLength;
}

int32_t DefaultPort() {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    return s.defaultPort;
}

}  // namespace

int32_t AdsPortOpenEx() {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    return OpenPortLocked(s);
}

int32_t AdsPortCloseEx(int32_t port) {
    return ClosePort(false, port);
}

int32_t AdsGetLocalAddressEx(int32_t port, AmsAddr* pAddr) {
    ClientState& s = State();
    std::chrono::milliseconds timeout{};
    {
        std::lock_guard lock(s.mutex);
        const auto it = s.ports.find(port);
        if (it == s.ports.end()) {
            return ADSERR_CLIENT_PORTNOTOPEN;
        }
        if (pAddr == nullptr) {
            return ADSERR_CLIENT_INVALIDPARM;
        }
        if (it->second.localNetId) {
            *pAddr = AmsAddr{*it->second.localNetId, static_cast<uint16_t>(port)};
            return ADSERR_NOERR;
        }
        timeout = it->second.timeout;
    }
    const AmsNetId looked = LookUpHostNetId(timeout);
    std::lock_guard lock(s.mutex);
    const auto it = s.ports.find(port);
    if (it == s.ports.end()) {
        return ADSERR_CLIENT_PORTNOTOPEN;
    }
    // A request that went out meanwhile knows better than the look-up.
    if (!it->second.localNetId) {
        it->second.localNetId = looked;
    }
    *pAddr = AmsAddr{*it->second.localNetId, static_cast<uint16_t>(port)};
    return ADSERR_NOERR;
}

int32_t AdsSyncSetTimeoutEx(int32_t port, int32_t timeoutMs) {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    const auto it = s.ports.find(port);
    if (it == s.ports.end() || timeoutMs <= 0) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    it->second.timeout = std::chrono::milliseconds(timeoutMs);
    return ADSERR_NOERR;
}

int32_t AdsSyncReadReqEx(int32_t port, const AmsAddr* pAddr, uint32_t indexGroup,
                         uint32_t indexOffset, uint32_t length, void* pData) {
    if (!ValidBuffer(pAddr, length, pData)) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    const auto request = ams::EncodeReadRequest({indexGroup, indexOffset, length});
    std::vector<uint8_t> reply;
    if (const int32_t rc = Request(port, *pAddr, ams::kCmdRead, request, reply);
        rc != ADSERR_NOERR) {
        return rc;
    }
    return ams::DecodeReadReply(reply, std::span<uint8_t>(static_cast<uint8_t*>(pData), length));
}

int32_t AdsSyncWriteReqEx(int32_t port, const AmsAddr* pAddr, uint32_t indexGroup,
                          uint32_t indexOffset, uint32_t length, const void* pData) {
    if (!ValidBuffer(pAddr, length, pData)) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    const auto request = ams::EncodeWriteRequest(
        {indexGroup, indexOffset,
         std::span<const uint8_t>(static_cast<const uint8_t*>(pData), length)});
    std::vector<uint8_t> reply;
    if (const int32_t rc = Request(port, *pAddr, ams::kCmdWrite, request, reply);
        rc != ADSERR_NOERR) {
        return rc;
    }
    return ams::DecodeResultReply(reply);
}

int32_t AdsSyncWriteControlReqEx(int32_t port, const AmsAddr* pAddr, uint16_t adsState,
                                 uint16_t devState, uint32_t length, const void* pData) {
    if (!ValidBuffer(pAddr, length, pData)) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    const auto request = ams::EncodeWriteControlRequest(
        {adsState, devState, std::span<const uint8_t>(static_cast<const uint8_t*>(pData), length)});
    std::vector<uint8_t> reply;
    if (const int32_t rc = Request(port, *pAddr, ams::kCmdWriteControl, request, reply);
        rc != ADSERR_NOERR) {
        return rc;
    }
    return ams::DecodeResultReply(reply);
}

int32_t AdsSyncReadStateReqEx(int32_t port, const AmsAddr* pAddr, uint16_t* pAdsState,
                              uint16_t* pDevState) {
    if (pAddr == nullptr || pAdsState == nullptr || pDevState == nullptr) {
        return ADSERR_CLIENT_INVALIDPARM;
    }
    std::vector<uint8_t> reply;
    if (const int32_t rc = Request(port, *pAddr, ams::kCmdReadState, {}, reply);
        rc != ADSERR_NOERR) {
        return rc;
    }
    return ams::DecodeReadStateReply(reply, *pAdsState, *pDevState);
}

int32_t AdsPortOpen() {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.defaultPort == 0) {
        s.defaultPort = OpenPortLocked(s);
    }
    return s.defaultPort;
}

int32_t AdsPortClose() {
    return ClosePort(true, 0);
}

int32_t AdsGetLocalAddress(AmsAddr* pAddr) {
    return AdsGetLocalAddressEx(DefaultPort(), pAddr);
}

int32_t AdsSyncReadReq(const AmsAddr* pAddr, uint32_t indexGroup, uint32_t indexOffset,
                       uint32_t length, void* pData) {
    return AdsSyncReadReqEx(DefaultPort(), pAddr, indexGroup, indexOffset, length, pData);
}

int32_t AdsSyncWriteReq(const AmsAddr* pAddr, uint32_t indexGroup, uint32_t indexOffset,
                        uint32_t length, const void* pData) {
    return AdsSyncWriteReqEx(DefaultPort(), pAddr, indexGroup, indexOffset, length, pData);
}

int32_t AdsSyncWriteControlReq(const AmsAddr* pAddr, uint16_t adsState, uint16_t devState,
                               uint32_t length, const void* pData) {
    return AdsSyncWriteControlReqEx(DefaultPort(), pAddr, adsState, devState, length, pData);
}

void AdsClientResetForTests() {
    std::map<int32_t, Port> closing;
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    closing.swap(s.ports);
    s.defaultPort = 0;
    s.nextPort = kFirstPort;
    s.connections.clear();
    s.hostLookup = {};
}

void AdsClientSetHostLookupForTests(platform::HostLookup lookup) {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    s.hostLookup = std::move(lookup);
}

size_t AdsClientOpenPortCountForTests() {
    ClientState& s = State();
    std::lock_guard lock(s.mutex);
    return s.ports.size();
}
