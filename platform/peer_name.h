// The remote end of a connected socket as "a.b.c.d:port", for the simulated router's logs.
#pragma once

#include <string>

#include "platform/tcp_socket.h"

namespace platform {

std::string PeerName(const TcpSocket& socket);

}  // namespace platform
