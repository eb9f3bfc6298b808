#include "device/device_events.h"

#include <mutex>

#include "device/device_link.h"
#include "device/device_lock.h"
#include "device/device_messages.h"
#include "device/device_session.h"

void PostDeviceEvent(DeviceSession& session, uintptr_t kind, intptr_t detail) {
    platform::WindowHandle window = nullptr;
    {
        std::lock_guard lock(DeviceLock);
        if (session.owner != nullptr) {
            window = session.owner->notificationWindow_;
        }
    }
    if (window != nullptr) {
        platform::PostWindowMessage(window, WM_DEVICE_EVENT, kind, detail);
    }
}
