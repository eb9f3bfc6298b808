// A blocking IPv4 TCP socket with RAII over Winsock or POSIX sockets, and the local host's
// name and the address it resolves to.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform {

using Ipv4 = std::array<uint8_t, 4>;

class TcpSocket {
public:
#ifdef _WIN32
    using NativeHandle = uintptr_t;  // SOCKET
#else
    using NativeHandle = int;
#endif

    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // An IPv4 stream socket over TCP; check Valid() for failure.
    static TcpSocket Create();

    bool Valid() const;
    NativeHandle Native() const {
        return handle_;
    }

    // Connect that gives up after `limit`; the socket is blocking again afterwards.
    bool Connect(const Ipv4& address, uint16_t port, std::chrono::milliseconds limit);

    // Listening side, for the simulated controller and tests. Bind sets SO_REUSEADDR so a
    // restarted listener does not wait out TIME_WAIT.
    bool Bind(const Ipv4& address, uint16_t port);
    bool Listen(int backlog = 16);
    TcpSocket Accept();
    // The locally bound port (useful after binding port 0).
    uint16_t LocalPort() const;
    // The IPv4 addresses of the two ends of a connected socket; empty when not connected.
    std::optional<Ipv4> LocalAddress() const;
    std::optional<Ipv4> PeerAddress() const;

    // One send call, no flags; bytes sent or -1.
    int Send(std::span<const uint8_t> data);
    // Sends everything, looping over partial sends; false on any failure.
    bool SendAll(std::span<const uint8_t> data);
    // One receive call, no flags: bytes received, 0 when the peer closed, -1 on error or when
    // the receive time-out expired.
    int Receive(std::span<uint8_t> buffer);
    // 1 when readable (data or end of stream), 0 when `limit` passed, -1 on error.
    int WaitReadable(std::chrono::milliseconds limit);

    // SO_RCVTIMEO in milliseconds on every platform (a DWORD on Winsock, a timeval elsewhere).
    bool SetReceiveTimeout(std::chrono::milliseconds timeout);
    // SO_SNDTIMEO, likewise (at least 1 ms: zero would mean no limit). A send that cannot hand
    // its bytes over in time returns what it sent or -1; the stream is then in an unknown state.
    bool SetSendTimeout(std::chrono::milliseconds timeout);
    bool SetSendBufferSize(int bytes);
    // SO_RCVBUF; on a listening socket, set before Listen so that the window offered in the
    // handshake is already the small one.
    bool SetReceiveBufferSize(int bytes);
    bool SetNoDelay(bool on);
    // Stops both directions; a thread blocked in Receive returns.
    void ShutdownBoth();
    // Ends the sending direction only (FIN after everything queued); receiving goes on.
    void ShutdownSend();
    void Close();

private:
    explicit TcpSocket(NativeHandle handle) : handle_(handle) {}
    NativeHandle handle_ = kInvalid;

#ifdef _WIN32
    static constexpr NativeHandle kInvalid = ~static_cast<uintptr_t>(0);
#else
    static constexpr NativeHandle kInvalid = -1;
#endif
};

// Starts the platform's socket layer once per process (Winsock); nothing elsewhere.
void EnsureSocketRuntime();

// The local host's name as gethostname gives it, read into a buffer of `bufferSize` bytes.
std::optional<std::string> LocalHostName(size_t bufferSize = 80);
// The first IPv4 address of the host entry that `name` resolves to.
std::optional<Ipv4> ResolveFirstIpv4(const std::string& name);

}  // namespace platform
