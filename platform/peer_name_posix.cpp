#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/peer_name.h"

namespace platform {

std::string PeerName(const TcpSocket& socket) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (::getpeername(socket.Native(), reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        return "?";
    }
    const auto* b = reinterpret_cast<const unsigned char*>(&sa.sin_addr.s_addr);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]) + ":" + std::to_string(ntohs(sa.sin_port));
}

}  // namespace platform
