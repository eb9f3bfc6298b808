#include "device/parameter_value.h"

#include <bit>
#include <cmath>
#include <limits>

#include "common/little_endian.h"

namespace device {
namespace {

enum class Coding { None, Float32, Int16, Int8, Int32 };

Coding CodingOf(int16_t id) {
    switch (id) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 5:
        case 6:
        case 7:
        case 8:
            return Coding::Float32;
        case 4:
            // Read back as a 16-bit word but written as a full 32-bit integer.
            return Coding::Int16;
        case 9:
            return Coding::Int8;
        case 11:
            return Coding::Int32;
        default:
            return Coding::None;
    }
}

}  // namespace

std::optional<float> DecodeParameterValue(int16_t id, const MailboxRecord& response) {
    switch (CodingOf(id)) {
        case Coding::Float32:
            return std::bit_cast<float>(common::LoadLe32(response, kRecordValueOffset));
        case Coding::Int16:
            return static_cast<float>(
                static_cast<int16_t>(common::LoadLe16(response, kRecordValueOffset)));
        case Coding::Int8:
            return static_cast<float>(static_cast<int8_t>(response[kRecordValueOffset]));
        case Coding::Int32:
            return static_cast<float>(
                static_cast<int32_t>(common::LoadLe32(response, kRecordValueOffset)));
        case Coding::None:
            break;
    }
    return std::nullopt;
}

bool EncodeParameterValue(int16_t id, float value, MailboxRecord& request) {
    switch (CodingOf(id)) {
        case Coding::Float32:
            common::StoreLe32(request, kRecordValueOffset, std::bit_cast<uint32_t>(value));
            return true;
        case Coding::Int16:
        case Coding::Int32: {
            const auto integer = TruncateToInt32(value);
            if (!integer) {
                return false;
            }
            common::StoreLe32(request, kRecordValueOffset, static_cast<uint32_t>(*integer));
            return true;
        }
        case Coding::Int8:
        case Coding::None:
            // The device takes no value for these ids; the request goes out without one.
            return true;
    }
    return true;
}

std::optional<int32_t> TruncateToInt32(float value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // 2^31 is exactly representable as a float, so these comparisons are exact.
    constexpr float kTwoPow31 = 2147483648.0f;
    if (value >= kTwoPow31) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value < -kTwoPow31) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

float FirmwareVersion(uint8_t major, uint8_t minor) {
    const double divisor = minor < 10 ? 10.0 : (minor < 100 ? 100.0 : 1000.0);
    return static_cast<float>(static_cast<double>(major) + static_cast<double>(minor) / divisor);
}

}  // namespace device
