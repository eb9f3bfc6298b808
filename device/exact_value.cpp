#include "device/exact_value.h"

#include <array>
#include <charconv>

namespace device {

std::string ExactValue::ToString() const {
    std::array<char, 48> text{};
    // The shortest text that reads back as exactly this value, as the instrument's own screens
    // show it: 0.001 rather than the 0.00100000005 nine fixed digits would give.
    const auto result = integer_
                            ? std::to_chars(text.data(), text.data() + text.size(), AsInteger())
                            : std::to_chars(text.data(), text.data() + text.size(), AsFloat());
    return std::string(text.data(), result.ptr);
}

}  // namespace device
