// The ADS connection fuzz target's checks, compiled into the native suite under a name of their
// own so the committed seeds and every past crash are replayed by every build.
#define LLVMFuzzerTestOneInput AdsConnectionFuzzOne
#include "tests/fuzz/ads/ads_connection_fuzz.cpp"
