// Reporting device-link events to the link's notification window.
#pragma once

#include <cstdint>

struct DeviceSession;

// Posts WM_DEVICE_EVENT(kind, detail) to the notification window of the link that owns
// `session`; nothing when there is none. Takes DeviceLock briefly to find the window and posts
// after releasing it, so the caller must not hold it.
void PostDeviceEvent(DeviceSession& session, uintptr_t kind, intptr_t detail);
