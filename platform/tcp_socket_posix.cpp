#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/tcp_socket.h"

namespace platform {
namespace {

sockaddr_in MakeAddress(const Ipv4& address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    std::memcpy(&sa.sin_addr.s_addr, address.data(), 4);
    return sa;
}

}  // namespace

TcpSocket TcpSocket::Create() {
    return TcpSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
}

bool TcpSocket::Valid() const {
    return handle_ != kInvalid;
}

bool TcpSocket::Connect(const Ipv4& address, uint16_t port, std::chrono::milliseconds limit) {
    if (!Valid()) {
        return false;
    }
    const int flags = ::fcntl(handle_, F_GETFL, 0);
    if (flags < 0 || ::fcntl(handle_, F_SETFL, flags | O_NONBLOCK) != 0) {
        return false;
    }
    const sockaddr_in sa = MakeAddress(address, port);
    bool connected = ::connect(handle_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
        // The connection goes on in the background, also when a signal cut the call short:
        // wait for it (again after a signal, for what is left of the limit) and take its outcome.
        const auto deadline = std::chrono::steady_clock::now() + limit;
        pollfd pfd{handle_, POLLOUT, 0};
        int ready;
        do {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            ready = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        } while (ready < 0 && errno == EINTR);
        if (ready == 1) {
            int error = 0;
            socklen_t length = sizeof error;
            connected =
                ::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
    }
    ::fcntl(handle_, F_SETFL, flags);
    return connected;
}

bool TcpSocket::Bind(const Ipv4& address, uint16_t port) {
    const int on = 1;
    ::setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in sa = MakeAddress(address, port);
    return ::bind(handle_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool TcpSocket::Listen(int backlog) {
    return ::listen(handle_, backlog) == 0;
}

TcpSocket TcpSocket::Accept() {
    int client;
    do {
        client = ::accept4(handle_, nullptr, nullptr, SOCK_CLOEXEC);
    } while (client < 0 && errno == EINTR);
    return TcpSocket(client);
}

uint16_t TcpSocket::LocalPort() const {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        return 0;
    }
    return ntohs(sa.sin_port);
}

int TcpSocket::Send(std::span<const uint8_t> data) {
    const ssize_t sent = ::send(handle_, data.data(), data.size(), MSG_NOSIGNAL);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

bool TcpSocket::SendAll(std::span<const uint8_t> data) {
    while (!data.empty()) {
        const ssize_t sent = ::send(handle_, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data = data.subspan(static_cast<size_t>(sent));
    }
    return true;
}

int TcpSocket::Receive(std::span<uint8_t> buffer) {
    ssize_t received;
    do {
        received = ::recv(handle_, buffer.data(), buffer.size(), 0);
    } while (received < 0 && errno == EINTR);
    return received < 0 ? -1 : static_cast<int>(received);
}

int TcpSocket::WaitReadable(std::chrono::milliseconds limit) {
    pollfd pfd{handle_, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&pfd, 1, static_cast<int>(limit.count()));
    } while (rc < 0 && errno == EINTR);
    return rc < 0 ? -1 : (rc == 0 ? 0 : 1);
}

bool TcpSocket::SetReceiveTimeout(std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return ::setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::SetSendTimeout(std::chrono::milliseconds timeout) {
    const auto ms = std::max<std::chrono::milliseconds::rep>(timeout.count(), 1);
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return ::setsockopt(handle_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::SetReceiveBufferSize(int bytes) {
    return ::setsockopt(handle_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool TcpSocket::SetSendBufferSize(int bytes) {
    return ::setsockopt(handle_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

bool TcpSocket::SetNoDelay(bool on) {
    const int value = on ? 1 : 0;
    return ::setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0;
}

void TcpSocket::ShutdownBoth() {
    if (Valid()) {
        ::shutdown(handle_, SHUT_RDWR);
    }
}

void TcpSocket::ShutdownSend() {
    if (Valid()) {
        ::shutdown(handle_, SHUT_WR);
    }
}

void TcpSocket::Close() {
    if (Valid()) {
        ::close(handle_);
        handle_ = kInvalid;
    }
}

void EnsureSocketRuntime() {
    // POSIX sockets need no start-up.
}

}  // namespace platform
