#include "sim/expected_image.h"

#include "transfer/firmware_image.h"

namespace sim {

std::vector<uint8_t> ChooseExpectedImage(const std::vector<uint8_t>& configured) {
    if (!configured.empty()) {
        return configured;
    }
    const auto image = FirmwareImage();
    return {image.begin(), image.end()};
}

}  // namespace sim
