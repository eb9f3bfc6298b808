// Waiting for the operator's stop request: SIGINT or SIGTERM on POSIX, Ctrl-C, Ctrl-Break or
// the console closing on Windows.
#pragma once

namespace sim {

// Call before any thread starts, so that only WaitForStopSignal sees the request.
void PrepareStopSignal();
// Blocks until the operator asks the program to stop.
void WaitForStopSignal();

}  // namespace sim
