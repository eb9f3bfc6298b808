#include <sys/socket.h>

#include "sim/receive_buffer.h"

namespace sim {

bool SetReceiveBufferSize(platform::TcpSocket& socket, int bytes) {
    return ::setsockopt(socket.Native(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

}  // namespace sim
