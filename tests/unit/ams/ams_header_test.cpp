#include <gtest/gtest.h>

#include <vector>

#include "ams/ams_header.h"

namespace {

AmsAddr Addr(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
    return AmsAddr{AmsNetId{{a, b, c, d, 1, 1}}, port};
}

TEST(AmsHeader, EncodesEveryFieldLittleEndianAtItsOffset) {
    ams::AmsHeader h;
    h.target = Addr(192, 168, 1, 10, 800);
    h.source = Addr(10, 0, 0, 7, 32779);
    h.commandId = 0x5001;
    h.stateFlags = 0x0004;
    h.errorCode = 0x01020304;
    h.invokeId = 0xA1B2C3D4;
    const std::vector<uint8_t> data{0xCA};
    const std::vector<uint8_t> expected{
        0x00, 0x00, 0x21, 0x00, 0x00, 0x00,              // reserved, length 33
        0xC0, 0xA8, 0x01, 0x0A, 0x01, 0x01, 0x20, 0x03,  // target 192.168.1.10.1.1:800
        0x0A, 0x00, 0x00, 0x07, 0x01, 0x01, 0x0B, 0x80,  // source 10.0.0.7.1.1:32779
        0x01, 0x50, 0x04, 0x00,                          // command id, flags
        0x01, 0x00, 0x00, 0x00,                          // data length 1
        0x04, 0x03, 0x02, 0x01,                          // error code
        0xD4, 0xC3, 0xB2, 0xA1,                          // invoke id
        0xCA};
    EXPECT_EQ(ams::EncodeFrame(h, data), expected);
}

TEST(AmsHeader, DecodeRoundTripsAndFindsTheData) {
    ams::AmsHeader h;
    h.target = Addr(127, 0, 0, 1, 800);
    h.commandId = ams::kCmdRead;
    h.invokeId = 7;
    const std::vector<uint8_t> payload{1, 2, 3, 4, 5};
    const auto frame = ams::EncodeFrame(h, payload);
    ams::AmsHeader out;
    std::span<const uint8_t> data;
    ASSERT_EQ(ams::DecodeFrame(frame, out, data), ams::DecodeStatus::kOk);
    EXPECT_EQ(out.commandId, ams::kCmdRead);
    EXPECT_EQ(out.invokeId, 7u);
    EXPECT_EQ(out.dataLength, 5u);
    EXPECT_TRUE(out.target == h.target);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.end()), payload);
}

TEST(AmsHeader, RefusesFramesShorterThanTheirLengthFieldsClaim) {
    ams::AmsHeader h;
    const std::vector<uint8_t> payload(10, 0xAB);
    auto frame = ams::EncodeFrame(h, payload);
    ams::AmsHeader out;
    std::span<const uint8_t> data;
    for (size_t cut = 0; cut < frame.size(); ++cut) {
        const std::span<const uint8_t> part(frame.data(), cut);
        EXPECT_EQ(ams::DecodeFrame(part, out, data), ams::DecodeStatus::kTooShort) << cut;
    }
}

TEST(AmsHeader, RefusesInconsistentOrOversizedLengths) {
    ams::AmsHeader h;
    auto frame = ams::EncodeFrame(h, std::vector<uint8_t>(4, 0));
    ams::AmsHeader out;
    std::span<const uint8_t> data;

    auto bad = frame;
    bad[26] = 5;  // data length disagrees with the AMS/TCP length
    EXPECT_EQ(ams::DecodeFrame(bad, out, data), ams::DecodeStatus::kMalformed);

    bad = frame;
    bad[0] = 1;  // reserved field
    EXPECT_EQ(ams::DecodeFrame(bad, out, data), ams::DecodeStatus::kMalformed);

    bad = frame;
    bad[2] = 31;  // AMS length below the AMS header
    bad[3] = bad[4] = bad[5] = 0;
    EXPECT_EQ(ams::DecodeFrame(bad, out, data), ams::DecodeStatus::kMalformed);

    bad = frame;
    bad[5] = 0x40;  // a gigabyte announced
    size_t size = 0;
    EXPECT_EQ(ams::PeekFrameSize(bad, size), ams::DecodeStatus::kMalformed);
}

}  // namespace
