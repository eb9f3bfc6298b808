#include "device/exact_value.h"

#include <cstdio>

namespace device {

std::string ExactValue::ToString() const {
    char text[32];
    if (integer_) {
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(AsInteger()));
    } else {
        // Nine significant digits bring any single-precision value back unchanged.
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(AsFloat()));
    }
    return text;
}

}  // namespace device
