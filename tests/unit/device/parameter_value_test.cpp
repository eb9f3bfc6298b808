// The value codings at offset 12 of the mailbox record that the simulated instrument cannot
// show: bytes beyond a narrow integer, values with no integer, and the record's golden layout.
#include "device/parameter_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "device/mailbox_record.h"

namespace {

using device::MailboxRecord;

MailboxRecord WithValueBytes(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    MailboxRecord record{};
    record[12] = b0;
    record[13] = b1;
    record[14] = b2;
    record[15] = b3;
    return record;
}

TEST(ParameterValue, NarrowIntegersIgnoreTheBytesBeyondTheirWidth) {
    EXPECT_EQ(device::DecodeParameterValue(4, WithValueBytes(0xF9, 0xFF, 0x12, 0x34)), -7.0f);
    EXPECT_EQ(device::DecodeParameterValue(9, WithValueBytes(0xFE, 0x55, 0x55, 0x55)), -2.0f);
    EXPECT_EQ(device::DecodeParameterValue(11, WithValueBytes(0xFF, 0xFF, 0xFF, 0xFF)), -1.0f);
    for (const int16_t id : {int16_t{10}, int16_t{12}, int16_t{-1}}) {
        EXPECT_FALSE(device::DecodeParameterValue(id, WithValueBytes(1, 2, 3, 4))) << id;
    }
}

TEST(ParameterValue, IntegerParametersRefuseValuesThatAreNoNumber) {
    const MailboxRecord before = WithValueBytes(9, 8, 7, 6);
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        for (const int16_t id : {int16_t{4}, int16_t{11}}) {
            MailboxRecord record = before;
            EXPECT_FALSE(device::EncodeParameterValue(id, bad, record)) << id << " " << bad;
            EXPECT_EQ(record, before);
        }
    }
    // Ids the device takes no value for go out with the record as it was.
    for (const int16_t id : {int16_t{9}, int16_t{10}, int16_t{12}, int16_t{-3}}) {
        MailboxRecord record = before;
        EXPECT_TRUE(device::EncodeParameterValue(id, 42.0f, record)) << id;
        EXPECT_EQ(record, before) << id;
    }
}

TEST(ParameterValue, TruncationSaturatesWhatAFloatRoundedPastTheRange) {
    EXPECT_EQ(device::TruncateToInt32(-0.99f), 0);
    // INT32_MAX saved through a float comes back as 2^31, one past the range.
    EXPECT_EQ(device::TruncateToInt32(static_cast<float>(std::numeric_limits<int32_t>::max())),
              std::numeric_limits<int32_t>::max());
    EXPECT_EQ(device::TruncateToInt32(-2147483648.0f), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(device::TruncateToInt32(-1e20f), std::numeric_limits<int32_t>::min());
    EXPECT_FALSE(device::TruncateToInt32(std::nanf("")).has_value());
}

// Integers go out as integers and floats as their bits; a float parameter takes no integer.
TEST(ParameterValue, ExactValuesTravelUnchangedAndKeepTheirKind) {
    for (const auto& [id, value] :
         {std::pair{PARAM_INT32_11, device::ExactValue::Integer(16777217)},
          std::pair{PARAM_INT16_4, device::ExactValue::Integer(-32768)},
          std::pair{PARAM_FLOAT_3, device::ExactValue::FloatBits(0x7FA00001)},
          std::pair{PARAM_FLOAT_5, device::ExactValue::Float(-0.0f)}}) {
        MailboxRecord record{};
        ASSERT_TRUE(device::EncodeExactParameterValue(id, value, record)) << id;
        EXPECT_EQ(device::DecodeExactParameterValue(id, record), value) << id;
    }
    MailboxRecord record = WithValueBytes(9, 8, 7, 6);
    EXPECT_FALSE(
        device::EncodeExactParameterValue(PARAM_FLOAT_0, device::ExactValue::Integer(1), record));
    EXPECT_EQ(record, WithValueBytes(9, 8, 7, 6));
}

// A value is shown as the shortest text that reads back as the very same value, as the
// instrument's own screens show it; a service user copies these by hand.
TEST(ParameterValue, ShownAsTheShortestTextThatReadsBackTheSame) {
    EXPECT_EQ(device::ExactValue::Float(1.25f).ToString(), "1.25");
    EXPECT_EQ(device::ExactValue::Float(0.001f).ToString(), "0.001");
    EXPECT_EQ(device::ExactValue::Float(-12.0f).ToString(), "-12");
    EXPECT_EQ(device::ExactValue::Integer(16777217).ToString(), "16777217");
    EXPECT_EQ(device::ExactValue::Integer(-32768).ToString(), "-32768");
    for (const float value : {0.1f, 1.0e-6f, -65535.25f, 3.4028235e38f, 1.0e-45f, 16777216.0f}) {
        const std::string text = device::ExactValue::Float(value).ToString();
        EXPECT_EQ(std::bit_cast<uint32_t>(std::strtof(text.c_str(), nullptr)),
                  std::bit_cast<uint32_t>(value))
            << text;
    }
}

// A new session writes the last session's last request again only when it was answered: an
// unanswered parameter write is not sent on after a reconnect.
TEST(MailboxRecord, OnlyAnAnsweredRequestIsCarriedOverToANewSession) {
    MailboxRecord release = device::MakeRequest(CMD_RELEASE);
    device::SetRecordSequence(release, 7);
    EXPECT_EQ(device::CarriedOverRequest(release, release), release);
    MailboxRecord write = device::MakeRequest(CMD_SET_PARAMETER);
    device::SetRecordSequence(write, 8);
    EXPECT_EQ(device::CarriedOverRequest(write, release), MailboxRecord{});
}

TEST(MailboxRecord, FieldsSitWhereThePlcProgramExpectsThem) {
    MailboxRecord record = device::MakeRequest(CMD_GET_PARAMETER);
    device::SetRecordSequence(record, 0x01020304);
    device::SetRecordParameterId(record, -2);
    const MailboxRecord expected{0x08, 0x00, 0, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF};
    EXPECT_EQ(record, expected);
    ASSERT_TRUE(device::EncodeParameterValue(11, -123456.7f, record));
    EXPECT_EQ(record[12], 0xC0);
    EXPECT_EQ(record[13], 0x1D);
    EXPECT_EQ(record[14], 0xFE);
    EXPECT_EQ(record[15], 0xFF);
}

}  // namespace
