#include <winsock2.h>

#include <algorithm>

#include "platform/ads_send_timeout.h"

namespace platform {

bool SetSendTimeout(TcpSocket& socket, std::chrono::milliseconds timeout) {
    // Winsock reads SO_SNDTIMEO as a DWORD of milliseconds.
    const DWORD ms =
        static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(timeout.count(), 1));
    return ::setsockopt(static_cast<SOCKET>(socket.Native()), SOL_SOCKET, SO_SNDTIMEO,
                        reinterpret_cast<const char*>(&ms), sizeof ms) == 0;
}

}  // namespace platform
