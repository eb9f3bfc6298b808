#include <winsock2.h>

#include "sim/receive_buffer.h"

namespace sim {

bool SetReceiveBufferSize(platform::TcpSocket& socket, int bytes) {
    return ::setsockopt(static_cast<SOCKET>(socket.Native()), SOL_SOCKET, SO_RCVBUF,
                        reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

}  // namespace sim
