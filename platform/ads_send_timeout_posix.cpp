#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>

#include "platform/ads_send_timeout.h"

namespace platform {

bool SetSendTimeout(TcpSocket& socket, std::chrono::milliseconds timeout) {
    const auto ms = std::max<std::chrono::milliseconds::rep>(timeout.count(), 1);
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return ::setsockopt(socket.Native(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

}  // namespace platform
