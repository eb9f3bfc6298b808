// Per-thread start-up of the platform's component-object runtime, which the device link's
// polling worker needs on Windows; nothing to do elsewhere.
#pragma once

namespace platform {

// Initialises the component-object runtime for the calling thread (CoInitialize on Windows).
// It is never uninitialised: the thread ends soon after and the runtime tidies up with it.
void InitializeComForThread();

}  // namespace platform
