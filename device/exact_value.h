// A parameter value exactly as the device holds it: a float's bits or an integer, never
// converted one into the other, so that saving and restoring it changes nothing.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

namespace device {

class ExactValue {
public:
    ExactValue() = default;
    static ExactValue Float(float value) {
        return ExactValue(false, std::bit_cast<uint32_t>(value));
    }
    // From the four bytes as they travel: no float register ever holds them, so even a
    // signalling NaN's payload is kept.
    static ExactValue FloatBits(uint32_t bits) { return ExactValue(false, bits); }
    static ExactValue Integer(int32_t value) {
        return ExactValue(true, static_cast<uint32_t>(value));
    }

    bool IsInteger() const { return integer_; }
    float AsFloat() const { return std::bit_cast<float>(bits_); }
    int32_t AsInteger() const { return static_cast<int32_t>(bits_); }
    // The value as the float interface gives it: a float as it is, an integer converted.
    float ToFloat() const { return integer_ ? static_cast<float>(AsInteger()) : AsFloat(); }
    // A float's bits, or an integer's two's complement.
    uint32_t Bits() const { return bits_; }

    // Floats compare bit for bit (a NaN equals itself, -0.0 differs from 0.0); integers as
    // integers.
    bool operator==(const ExactValue&) const = default;

    // The value as a person writes it down: an integer in decimal, a float with as many
    // digits as bring back the same float.
    std::string ToString() const;

private:
    ExactValue(bool integer, uint32_t bits) : integer_(integer), bits_(bits) {}

    bool integer_ = false;
    uint32_t bits_ = 0;
};

}  // namespace device
