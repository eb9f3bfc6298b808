// The ends of a connected socket and the choice of this host's address; the same calls on
// Winsock and POSIX.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/local_address.h"

namespace platform {
namespace {

#ifdef _WIN32
using AddressLength = int;
SOCKET Native(const TcpSocket& socket) {
    return static_cast<SOCKET>(socket.Native());
}
#else
using AddressLength = socklen_t;
int Native(const TcpSocket& socket) {
    return socket.Native();
}
#endif

// One end of a connected socket, as getsockname or getpeername tells it.
template <typename Query>
std::optional<sockaddr_in> EndPoint(const TcpSocket& socket, Query query) {
    if (!socket.Valid()) {
        return std::nullopt;
    }
    sockaddr_in sa{};
    AddressLength length = sizeof sa;
    if (query(Native(socket), reinterpret_cast<sockaddr*>(&sa), &length) != 0 ||
        sa.sin_family != AF_INET) {
        return std::nullopt;
    }
    return sa;
}

std::optional<Ipv4> AddressOf(const std::optional<sockaddr_in>& end) {
    if (!end) {
        return std::nullopt;
    }
    Ipv4 ip{};
    std::memcpy(ip.data(), &end->sin_addr.s_addr, ip.size());
    // An unconnected socket reports the wildcard address: that is no answer.
    if (ip == Ipv4{}) {
        return std::nullopt;
    }
    return ip;
}

std::optional<sockaddr_in> PeerEnd(const TcpSocket& socket) {
    return EndPoint(socket, [](auto handle, sockaddr* sa, AddressLength* length) {
        return ::getpeername(handle, sa, length);
    });
}

}  // namespace

std::optional<Ipv4> TcpSocket::LocalAddress() const {
    return AddressOf(EndPoint(*this, [](auto handle, sockaddr* sa, AddressLength* length) {
        return ::getsockname(handle, sa, length);
    }));
}

std::optional<Ipv4> TcpSocket::PeerAddress() const {
    return AddressOf(PeerEnd(*this));
}

std::string PeerName(const TcpSocket& socket) {
    const std::optional<sockaddr_in> end = PeerEnd(socket);
    const std::optional<Ipv4> ip = AddressOf(end);
    if (!ip) {
        return "?";
    }
    return std::to_string((*ip)[0]) + "." + std::to_string((*ip)[1]) + "." +
           std::to_string((*ip)[2]) + "." + std::to_string((*ip)[3]) + ":" +
           std::to_string(ntohs(end->sin_port));
}

HostLookup SystemHostLookup() {
    return HostLookup{[] { return LocalHostName(); },
                      [](const std::string& name) { return ResolveFirstIpv4(name); }};
}

std::optional<Ipv4> HostFirstIpv4Within(const HostLookup& lookup, std::chrono::milliseconds limit) {
    const std::optional<std::string> name = lookup.hostName ? lookup.hostName() : std::nullopt;
    if (!name || !lookup.firstIpv4) {
        return std::nullopt;
    }
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        std::optional<Ipv4> ip;
    };
    auto answer = std::make_shared<Answer>();
    try {
        std::thread([answer, resolve = lookup.firstIpv4, host = *name] {
            std::optional<Ipv4> ip = resolve(host);
            {
                std::lock_guard lock(answer->mutex);
                answer->ip = ip;
                answer->done = true;
            }
            answer->ready.notify_all();
        }).detach();
    } catch (...) {
        return std::nullopt;
    }
    std::unique_lock lock(answer->mutex);
    if (!answer->ready.wait_for(lock, limit, [&answer] { return answer->done; })) {
        return std::nullopt;
    }
    return answer->ip;
}

Ipv4 AddressTowardPeer(const TcpSocket& connection, const Ipv4& fallback) {
    return connection.LocalAddress().value_or(fallback);
}

}  // namespace platform
