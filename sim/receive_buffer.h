// Shrinks a socket's receive buffer, so that a host sending to a connection the controller no
// longer reads soon finds its sends blocked, as against a stalled instrument.
#pragma once

#include "platform/tcp_socket.h"

namespace sim {

// SO_RCVBUF; set on a listening socket before it listens, so the window offered in the
// handshake is already the small one.
bool SetReceiveBufferSize(platform::TcpSocket& socket, int bytes);

}  // namespace sim
