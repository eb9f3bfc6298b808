// Bounds a blocking send on a socket, so a router that stops reading cannot hold an ADS call
// past its deadline.
#pragma once

#include <chrono>

#include "platform/tcp_socket.h"

namespace platform {

// SO_SNDTIMEO in milliseconds (at least 1: zero would mean no limit).
bool SetSendTimeout(TcpSocket& socket, std::chrono::milliseconds timeout);

}  // namespace platform
