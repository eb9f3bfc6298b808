#include "tests/unit/transfer/golden_download.h"

#include <span>

#include "transfer/firmware_image.h"

namespace corvane::test {

std::vector<GoldenFrame> GoldenDownload() {
    std::vector<GoldenFrame> frames{
        {0x5001,
         1,
         {0x01, 0x04, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00}},
        {0x5001, 2, {0xCA}},
        {0x5001, 3, {0x11}},
        {0x5001, 4, {0x0E}},
        {0x5001, 5, {0xCE, 0x01, 0x00, 0x00}},
    };
    const std::span<const uint8_t> image = FirmwareImage();
    for (size_t k = 0; k < 39; ++k) {
        const auto record = image.subspan(k * 2060, 2060);
        frames.push_back({0x5006, 0, {record.begin(), record.end()}});
    }
    frames.push_back({0x5001, 6, {0x14, 0x00, 0x00}});
    frames.push_back({0x5001, 7, {0xD4}});
    frames.push_back({0x5001, 8, {0xC4}});
    return frames;
}

std::vector<int> CompleteRunSteps() {
    std::vector<int> steps;
    for (int s = 1; s <= 52; ++s) {
        if (s != 48) {
            steps.push_back(s);
        }
    }
    return steps;
}

}  // namespace corvane::test
