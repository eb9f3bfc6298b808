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
        case PARAM_FLOAT_0:
        case PARAM_FLOAT_1:
        case PARAM_FLOAT_2:
        case PARAM_FLOAT_3:
        case PARAM_FLOAT_5:
        case PARAM_FLOAT_6:
        case PARAM_FLOAT_7:
        case PARAM_FLOAT_8:
            return Coding::Float32;
        case PARAM_INT16_4:
            // Read back as a 16-bit word but written as a full 32-bit integer.
            return Coding::Int16;
        case PARAM_INT8_9:
            return Coding::Int8;
        case PARAM_INT32_11:
            return Coding::Int32;
        default:
            return Coding::None;
    }
}

void StoreInteger(int32_t value, MailboxRecord& request) {
    common::StoreLe32(request, kRecordValueOffset, static_cast<uint32_t>(value));
}

}  // namespace

std::optional<ExactValue> DecodeExactParameterValue(int16_t id, const MailboxRecord& response) {
    switch (CodingOf(id)) {
        case Coding::Float32:
            return ExactValue::FloatBits(common::LoadLe32(response, kRecordValueOffset));
        case Coding::Int16:
            return ExactValue::Integer(
                static_cast<int16_t>(common::LoadLe16(response, kRecordValueOffset)));
        case Coding::Int8:
            return ExactValue::Integer(static_cast<int8_t>(response[kRecordValueOffset]));
        case Coding::Int32:
            return ExactValue::Integer(
                static_cast<int32_t>(common::LoadLe32(response, kRecordValueOffset)));
        case Coding::None:
            break;
    }
    return std::nullopt;
}

std::optional<float> DecodeParameterValue(int16_t id, const MailboxRecord& response) {
    const std::optional<ExactValue> exact = DecodeExactParameterValue(id, response);
    return exact ? std::optional(exact->ToFloat()) : std::nullopt;
}

bool EncodeExactParameterValue(int16_t id, const ExactValue& value, MailboxRecord& request) {
    switch (CodingOf(id)) {
        case Coding::Float32:
            if (value.IsInteger()) {
                return false;
            }
            common::StoreLe32(request, kRecordValueOffset, value.Bits());
            return true;
        case Coding::Int16:
        case Coding::Int32:
            if (!value.IsInteger()) {
                return EncodeParameterValue(id, value.AsFloat(), request);
            }
            StoreInteger(value.AsInteger(), request);
            return true;
        case Coding::Int8:
        case Coding::None:
            return true;
    }
    return true;
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
            StoreInteger(*integer, request);
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
