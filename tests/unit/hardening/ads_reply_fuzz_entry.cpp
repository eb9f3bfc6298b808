// The ADS reply fuzz target's checks, compiled into the native suite under a name of their own
// so the committed seeds and every past crash are replayed by every build, sanitizers included.
#define LLVMFuzzerTestOneInput AdsReplyFuzzOne
#include "tests/fuzz/ads/ads_reply_fuzz.cpp"
