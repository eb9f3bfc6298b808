// The image the simulated controller accepts for installation.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// `configured` when it is not empty, else the program's embedded firmware image.
std::vector<uint8_t> ChooseExpectedImage(const std::vector<uint8_t>& configured);

}  // namespace sim
