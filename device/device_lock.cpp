#include "device/device_lock.h"

constinit std::mutex DeviceLock;
