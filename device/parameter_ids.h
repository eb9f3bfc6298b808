// The device's numbered parameters, named by how their value travels at offset 12 of the
// mailbox record: what each one means is the instrument's own, so the names carry only the
// coding and the number.
#pragma once

#include <cstdint>

inline constexpr int16_t PARAM_FLOAT_0 = 0;
inline constexpr int16_t PARAM_FLOAT_1 = 1;
inline constexpr int16_t PARAM_FLOAT_2 = 2;
inline constexpr int16_t PARAM_FLOAT_3 = 3;
// Read back as a 16-bit signed word, written as a 32-bit signed integer.
inline constexpr int16_t PARAM_INT16_4 = 4;
inline constexpr int16_t PARAM_FLOAT_5 = 5;
inline constexpr int16_t PARAM_FLOAT_6 = 6;
inline constexpr int16_t PARAM_FLOAT_7 = 7;
inline constexpr int16_t PARAM_FLOAT_8 = 8;
// Read as an 8-bit signed integer; the device takes no value for it.
inline constexpr int16_t PARAM_INT8_9 = 9;
// Major and minor bytes; the session keeps it from Connect.
inline constexpr int16_t PARAM_FIRMWARE_VERSION = 10;
inline constexpr int16_t PARAM_INT32_11 = 11;
