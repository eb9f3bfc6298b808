// The firmware download as the controller must receive it, written out independently of the
// code under test: the 47 frames' command ids, invoke ids and data, and the progress steps.
#pragma once

#include <cstdint>
#include <vector>

namespace corvane::test {

struct GoldenFrame {
    uint16_t commandId;
    uint32_t invokeId;
    std::vector<uint8_t> data;
};

// Five command frames, the 39 image records (record k = image bytes 2060k to 2060k + 2059),
// three closing frames.
std::vector<GoldenFrame> GoldenDownload();

// 1 to 47 and 49 to 52, in this order.
std::vector<int> CompleteRunSteps();

}  // namespace corvane::test
