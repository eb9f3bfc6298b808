// How each device parameter's value is coded at offset 12 of a mailbox record, and the
// firmware version carried as major and minor bytes.
#pragma once

#include <cstdint>
#include <optional>

#include "device/exact_value.h"
#include "device/mailbox_record.h"

namespace device {

// The value of parameter `id` in a CMD_GET_PARAMETER response, as a float; nothing for an id
// that has no value coding (the firmware version included: it is kept by the session).
std::optional<float> DecodeParameterValue(int16_t id, const MailboxRecord& response);

// The value exactly as the device sent it: a float parameter's bits, an integer parameter's
// integer (widened to 32 bits, sign kept); nothing for an id without a value coding.
std::optional<ExactValue> DecodeExactParameterValue(int16_t id, const MailboxRecord& response);

// Places `value` unchanged: an integer parameter's integer as 32 bits, a float parameter's
// bits. A float for an integer parameter is truncated as EncodeParameterValue does; an
// integer for a float parameter is refused (false, nothing placed), since no float is exact
// for every integer. Ids without a value coding get nothing placed.
bool EncodeExactParameterValue(int16_t id, const ExactValue& value, MailboxRecord& request);

// Places `value` for parameter `id` into a CMD_SET_PARAMETER request. Ids without a value
// coding get nothing placed. False when an integer parameter is given a value that is not a
// number or infinite: there is no integer to send, and inventing one would overwrite the
// device's setting with garbage.
bool EncodeParameterValue(int16_t id, float value, MailboxRecord& request);

// Truncates toward zero; finite values beyond the 32-bit range saturate (a float cannot hold
// 2,147,483,647 exactly and rounds it up to 2^31). Nothing for NaN or infinity.
std::optional<int32_t> TruncateToInt32(float value);

// major + minor / 10, / 100 or / 1000 by the number of decimal digits of minor, computed in
// double precision and kept as a float: minor 3 gives x.3, 12 gives x.12, 125 gives x.125.
float FirmwareVersion(uint8_t major, uint8_t minor);

}  // namespace device
