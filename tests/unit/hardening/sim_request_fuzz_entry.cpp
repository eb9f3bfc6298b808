// The simulator request fuzz target's checks, compiled into the native suite under a name of
// their own so the committed seeds and every past crash are replayed by every build.
#define LLVMFuzzerTestOneInput SimRequestFuzzOne
#include "tests/fuzz/sim/sim_request_fuzz.cpp"
