#include "device/parameter_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "device/mailbox_record.h"

namespace {

using device::MailboxRecord;

MailboxRecord ResponseWithValueBytes(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    MailboxRecord record{};
    record[12] = b0;
    record[13] = b1;
    record[14] = b2;
    record[15] = b3;
    return record;
}

struct DecodeCase {
    const char* name;
    int16_t id;
    std::array<uint8_t, 4> bytes;
    float expected;
};
void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class DecodeParameter : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeParameter, ReadsTheValueAsTheParameterIsCoded) {
    const auto& c = GetParam();
    const auto value = device::DecodeParameterValue(
        c.id, ResponseWithValueBytes(c.bytes[0], c.bytes[1], c.bytes[2], c.bytes[3]));
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, c.expected);
}

// 1.5f is 0x3FC00000; the integer cases carry bytes beyond their width that must not count.
INSTANTIATE_TEST_SUITE_P(
    Codings, DecodeParameter,
    ::testing::Values(DecodeCase{"Float", 0, {0x00, 0x00, 0xC0, 0x3F}, 1.5f},
                      DecodeCase{"FloatMinusOne", 8, {0x00, 0x00, 0x80, 0xBF}, -1.0f},
                      DecodeCase{"Int16Negative", 4, {0xF9, 0xFF, 0x12, 0x34}, -7.0f},
                      DecodeCase{"Int16HighWordIgnored", 4, {0x39, 0x30, 0xFF, 0xFF}, 12345.0f},
                      DecodeCase{"Int8Negative", 9, {0xFE, 0x55, 0x55, 0x55}, -2.0f},
                      DecodeCase{"Int32", 11, {0x40, 0xE2, 0x01, 0x00}, 123456.0f},
                      DecodeCase{"Int32MinusOne", 11, {0xFF, 0xFF, 0xFF, 0xFF}, -1.0f}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(DecodeParameter, IdsWithoutValueCodingGiveNothing) {
    const MailboxRecord record = ResponseWithValueBytes(1, 2, 3, 4);
    for (const int16_t id : {int16_t{10}, int16_t{12}, int16_t{-1}, int16_t{0x7FFF}}) {
        EXPECT_FALSE(device::DecodeParameterValue(id, record).has_value()) << "id " << id;
    }
}

TEST(EncodeParameter, PlacesFloatsBitForBitAndIntegersTruncatedAsFullWords) {
    MailboxRecord record{};
    ASSERT_TRUE(device::EncodeParameterValue(3, 1.5f, record));
    EXPECT_EQ(record, ResponseWithValueBytes(0x00, 0x00, 0xC0, 0x3F));

    record = {};
    ASSERT_TRUE(device::EncodeParameterValue(4, 12.9f, record));
    EXPECT_EQ(record, ResponseWithValueBytes(12, 0, 0, 0));
    record = {};
    ASSERT_TRUE(device::EncodeParameterValue(4, -12.9f, record));
    EXPECT_EQ(record, ResponseWithValueBytes(0xF4, 0xFF, 0xFF, 0xFF));
    record = {};
    ASSERT_TRUE(device::EncodeParameterValue(11, -123456.7f, record));
    EXPECT_EQ(record, ResponseWithValueBytes(0xC0, 0x1D, 0xFE, 0xFF));
}

TEST(EncodeParameter, IdsWithoutValueCodingLeaveTheRecordAlone) {
    const MailboxRecord before = ResponseWithValueBytes(9, 8, 7, 6);
    for (const int16_t id : {int16_t{9}, int16_t{10}, int16_t{12}, int16_t{-3}}) {
        MailboxRecord record = before;
        EXPECT_TRUE(device::EncodeParameterValue(id, 42.0f, record)) << "id " << id;
        EXPECT_EQ(record, before) << "id " << id;
    }
}

TEST(EncodeParameter, RefusesIntegerParametersThatAreNotANumber) {
    const MailboxRecord before = ResponseWithValueBytes(9, 8, 7, 6);
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        for (const int16_t id : {int16_t{4}, int16_t{11}}) {
            MailboxRecord record = before;
            EXPECT_FALSE(device::EncodeParameterValue(id, bad, record)) << id << " " << bad;
            EXPECT_EQ(record, before);
        }
    }
}

TEST(TruncateToInt32, TruncatesTowardZeroAndSaturatesAtTheEdges) {
    EXPECT_EQ(device::TruncateToInt32(12.9f), 12);
    EXPECT_EQ(device::TruncateToInt32(-12.9f), -12);
    EXPECT_EQ(device::TruncateToInt32(-0.99f), 0);
    // INT32_MAX saved through a float comes back as 2^31, one past the range.
    EXPECT_EQ(device::TruncateToInt32(static_cast<float>(std::numeric_limits<int32_t>::max())),
              std::numeric_limits<int32_t>::max());
    EXPECT_EQ(device::TruncateToInt32(-2147483648.0f), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(device::TruncateToInt32(-1e20f), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(device::TruncateToInt32(1e20f), std::numeric_limits<int32_t>::max());
    EXPECT_FALSE(device::TruncateToInt32(std::nanf("")).has_value());
}

struct VersionCase {
    uint8_t major;
    uint8_t minor;
    float expected;
};
void PrintTo(const VersionCase& c, std::ostream* out) {
    *out << int{c.major} << "." << int{c.minor};
}
std::string VersionName(const ::testing::TestParamInfo<VersionCase>& info) {
    return "Major" + std::to_string(info.param.major) + "Minor" + std::to_string(info.param.minor);
}

class FirmwareVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FirmwareVersion, DividesMinorByItsDecimalPlaces) {
    const auto& c = GetParam();
    EXPECT_EQ(device::FirmwareVersion(c.major, c.minor), c.expected)
        << int{c.major} << "." << int{c.minor};
}

INSTANTIATE_TEST_SUITE_P(Minors, FirmwareVersion,
                         ::testing::Values(VersionCase{3, 0, 3.0f}, VersionCase{3, 3, 3.3f},
                                           VersionCase{3, 9, 3.9f}, VersionCase{3, 10, 3.1f},
                                           VersionCase{3, 12, 3.12f}, VersionCase{3, 99, 3.99f},
                                           VersionCase{3, 100, 3.1f}, VersionCase{3, 125, 3.125f},
                                           VersionCase{2, 255, 2.255f}),
                         VersionName);

TEST(MailboxRecord, FieldsSitWhereThePlcProgramExpectsThem) {
    MailboxRecord record = device::MakeRequest(CMD_GET_PARAMETER);
    device::SetRecordSequence(record, 0x01020304);
    device::SetRecordParameterId(record, -2);
    const MailboxRecord expected{0x08, 0x00, 0, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF};
    EXPECT_EQ(record, expected);
    EXPECT_EQ(device::RecordCode(record), CMD_GET_PARAMETER);
    EXPECT_EQ(device::RecordSequence(record), 0x01020304u);
    EXPECT_EQ(device::RecordParameterId(record), -2);
}

TEST(MailboxRecord, SameRequestLooksOnlyAtCodeAndSequence) {
    MailboxRecord a = device::MakeRequest(CMD_SET_PARAMETER);
    device::SetRecordSequence(a, 7);
    MailboxRecord b = a;
    b[2] = 0xAA;   // reserved
    b[12] = 0x55;  // value
    b[31] = 1;
    EXPECT_TRUE(device::SameRequest(a, b));
    b = a;
    device::SetRecordSequence(b, 8);
    EXPECT_FALSE(device::SameRequest(a, b));
    b = a;
    device::SetRecordCode(b, CMD_GET_PARAMETER);
    EXPECT_FALSE(device::SameRequest(a, b));
}

}  // namespace
