// The polling worker: while a session is open it is the only path between the host and the
// PLC's memory, and it reports changes of the device's state.
#pragma once

#include <memory>

struct DeviceSession;

// The worker thread's procedure. Writes each new mailbox request once, reads the response and
// status blocks back every cycle, and ends when the session's connected flag is cleared or an
// ADS transfer fails, closing the session's ADS port (and no other). Holding the session by shared
// ownership, it never outlives what it touches. Returns 0.
int PollWorker(std::shared_ptr<DeviceSession> session);
