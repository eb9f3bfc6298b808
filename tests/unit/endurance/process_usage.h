// What this process holds right now, read from /proc: open descriptors, threads, resident
// memory, and (without a sanitizer) the bytes the heap has handed out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane::test {

struct ProcessUsage {
    size_t descriptors = 0;
    size_t threads = 0;
    size_t residentKb = 0;
    size_t heapBytes = 0;  // 0 when the allocator cannot say (sanitizers replace it)
};

ProcessUsage SampleUsage();

// True when a sanitizer owns the heap: resident memory and heap figures then mean nothing.
bool UnderSanitizer();

}  // namespace corvane::test
