#include "device/device_lock.h"

// Built during static initialisation, before the program's own code runs; no static
// initialiser of another file uses it.
std::mutex DeviceLock;
