#include "tests/unit/endurance/process_usage.h"

#include <malloc.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace corvane::test {
namespace {

size_t StatusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            std::istringstream fields(line.substr(name.size() + 1));
            size_t value = 0;
            fields >> value;
            return value;
        }
    }
    return 0;
}

}  // namespace

bool UnderSanitizer() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

ProcessUsage SampleUsage() {
    ProcessUsage usage;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++usage.descriptors;
    }
    usage.threads = StatusField("Threads");
    usage.residentKb = StatusField("VmRSS");
    if (!UnderSanitizer()) {
        usage.heapBytes = mallinfo2().uordblks;
    }
    return usage;
}

}  // namespace corvane::test
