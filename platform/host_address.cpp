// This host's name and the first IPv4 address a name resolves to; the same calls on Winsock
// and POSIX.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <vector>

#include "platform/tcp_socket.h"

namespace platform {

std::optional<std::string> LocalHostName(size_t bufferSize) {
    EnsureSocketRuntime();
    if (bufferSize == 0) {
        return std::nullopt;
    }
    std::vector<char> name(bufferSize, '\0');
    if (::gethostname(name.data(), static_cast<int>(name.size())) != 0) {
        return std::nullopt;
    }
    name[bufferSize - 1] = '\0';
    return std::string(name.data());
}

std::optional<Ipv4> ResolveFirstIpv4(const std::string& name) {
    EnsureSocketRuntime();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
        return std::nullopt;
    }
    Ipv4 result{};
    const auto* sa = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    std::memcpy(result.data(), &sa->sin_addr.s_addr, 4);
    ::freeaddrinfo(list);
    return result;
}

}  // namespace platform
