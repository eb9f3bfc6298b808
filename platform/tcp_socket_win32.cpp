#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "platform/tcp_socket.h"

namespace platform {
namespace {

// Winsock is started once for the process and stopped at exit.
class WinsockRuntime {
public:
    WinsockRuntime() {
        WSADATA data{};
        ok_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockRuntime() {
        if (ok_) {
            ::WSACleanup();
        }
    }
    WinsockRuntime(const WinsockRuntime&) = delete;
    WinsockRuntime& operator=(const WinsockRuntime&) = delete;

private:
    bool ok_ = false;
};

void EnsureWinsock() {
    static WinsockRuntime runtime;
}

sockaddr_in MakeAddress(const Ipv4& address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    std::memcpy(&sa.sin_addr.s_addr, address.data(), 4);
    return sa;
}

SOCKET S(uintptr_t h) {
    return static_cast<SOCKET>(h);
}

}  // namespace

TcpSocket TcpSocket::Create() {
    EnsureWinsock();
    return TcpSocket(static_cast<NativeHandle>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
}

bool TcpSocket::Valid() const {
    return handle_ != kInvalid;
}

bool TcpSocket::Connect(const Ipv4& address, uint16_t port, std::chrono::milliseconds limit) {
    if (!Valid()) {
        return false;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(S(handle_), FIONBIO, &nonBlocking) != 0) {
        return false;
    }
    const sockaddr_in sa = MakeAddress(address, port);
    bool connected = ::connect(S(handle_), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(S(handle_), &writable);
        FD_SET(S(handle_), &failed);
        timeval tv{};
        tv.tv_sec = static_cast<long>(limit.count() / 1000);
        tv.tv_usec = static_cast<long>((limit.count() % 1000) * 1000);
        if (::select(0, nullptr, &writable, &failed, &tv) > 0 && FD_ISSET(S(handle_), &writable)) {
            int error = 0;
            int length = sizeof error;
            connected = ::getsockopt(S(handle_), SOL_SOCKET, SO_ERROR,
                                     reinterpret_cast<char*>(&error), &length) == 0 &&
                        error == 0;
        }
    }
    u_long blocking = 0;
    ::ioctlsocket(S(handle_), FIONBIO, &blocking);
    return connected;
}

bool TcpSocket::Bind(const Ipv4& address, uint16_t port) {
    const BOOL on = TRUE;
    ::setsockopt(S(handle_), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                 sizeof on);
    const sockaddr_in sa = MakeAddress(address, port);
    return ::bind(S(handle_), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool TcpSocket::Listen(int backlog) {
    return ::listen(S(handle_), backlog) == 0;
}

TcpSocket TcpSocket::Accept() {
    return TcpSocket(static_cast<NativeHandle>(::accept(S(handle_), nullptr, nullptr)));
}

uint16_t TcpSocket::LocalPort() const {
    sockaddr_in sa{};
    int length = sizeof sa;
    if (::getsockname(S(handle_), reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        return 0;
    }
    return ntohs(sa.sin_port);
}

int TcpSocket::Send(std::span<const uint8_t> data) {
    const int sent = ::send(S(handle_), reinterpret_cast<const char*>(data.data()),
                            static_cast<int>(data.size()), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

bool TcpSocket::SendAll(std::span<const uint8_t> data) {
    while (!data.empty()) {
        const int sent = Send(data);
        if (sent <= 0) {
            return false;
        }
        data = data.subspan(static_cast<size_t>(sent));
    }
    return true;
}

int TcpSocket::Receive(std::span<uint8_t> buffer) {
    const int received = ::recv(S(handle_), reinterpret_cast<char*>(buffer.data()),
                                static_cast<int>(buffer.size()), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

int TcpSocket::WaitReadable(std::chrono::milliseconds limit) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(S(handle_), &readable);
    timeval tv{};
    tv.tv_sec = static_cast<long>(limit.count() / 1000);
    tv.tv_usec = static_cast<long>((limit.count() % 1000) * 1000);
    const int rc = ::select(0, &readable, nullptr, nullptr, &tv);
    return rc == SOCKET_ERROR ? -1 : (rc == 0 ? 0 : 1);
}

bool TcpSocket::SetReceiveTimeout(std::chrono::milliseconds timeout) {
    // Winsock reads SO_RCVTIMEO as a DWORD of milliseconds.
    const DWORD value = static_cast<DWORD>(timeout.count());
    return ::setsockopt(S(handle_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0;
}

bool TcpSocket::SetSendTimeout(std::chrono::milliseconds timeout) {
    const DWORD value =
        static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(timeout.count(), 1));
    return ::setsockopt(S(handle_), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0;
}

bool TcpSocket::SetReceiveBufferSize(int bytes) {
    return ::setsockopt(S(handle_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                        sizeof bytes) == 0;
}

bool TcpSocket::SetSendBufferSize(int bytes) {
    return ::setsockopt(S(handle_), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes),
                        sizeof bytes) == 0;
}

bool TcpSocket::SetNoDelay(bool on) {
    const BOOL value = on ? TRUE : FALSE;
    return ::setsockopt(S(handle_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0;
}

void TcpSocket::ShutdownBoth() {
    if (Valid()) {
        ::shutdown(S(handle_), SD_BOTH);
    }
}

void TcpSocket::ShutdownSend() {
    if (Valid()) {
        ::shutdown(S(handle_), SD_SEND);
    }
}

void TcpSocket::Close() {
    if (Valid()) {
        ::closesocket(S(handle_));
        handle_ = kInvalid;
    }
}

void EnsureSocketRuntime() {
    EnsureWinsock();
}

}  // namespace platform
