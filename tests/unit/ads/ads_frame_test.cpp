// ADS command data and AMS stream reassembly, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "ams/ams_header.h"
#include "ads/ads_api.h"
#include "ams/ads_frame.h"
#include "ams/ams_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(AdsFrame, RequestsEncodeLittleEndian) {
    const auto read = ams::EncodeReadRequest({0x4020, 164, 28});
    EXPECT_EQ(Bytes(read.begin(), read.end()),
              (Bytes{0x20, 0x40, 0, 0, 0xA4, 0, 0, 0, 0x1C, 0, 0, 0}));
    const Bytes payload{0x11, 0x22};
    EXPECT_EQ(ams::EncodeWriteRequest({0x4020, 0x01020304, payload}),
              (Bytes{0x20, 0x40, 0, 0, 0x04, 0x03, 0x02, 0x01, 2, 0, 0, 0, 0x11, 0x22}));
    EXPECT_EQ(ams::EncodeWriteControlRequest({ADSSTATE_RUN, 0, {}}),
              (Bytes{5, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(AdsFrame, RequestDecodersRefuseLengthsThatDisagree) {
    ams::ReadRequest read;
    EXPECT_FALSE(ams::DecodeReadRequest(Bytes(11, 0), read));
    ams::WriteRequest write;
    EXPECT_FALSE(
        ams::DecodeWriteRequest(Bytes{0x20, 0x40, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 1, 2}, write));
    const Bytes good{0x20, 0x40, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 1, 2};
    ASSERT_TRUE(ams::DecodeWriteRequest(good, write));
    EXPECT_EQ(write.indexOffset, 8u);
    EXPECT_EQ(Bytes(write.data.begin(), write.data.end()), (Bytes{1, 2}));
    ams::WriteControlRequest control;
    EXPECT_FALSE(
        ams::DecodeWriteControlRequest(Bytes{6, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, control));
}

TEST(AdsFrame, FailedReadReplyStillCarriesALengthOfZero) {
    const Bytes data{1, 2, 3};
    EXPECT_EQ(ams::EncodeReadReply(0x703, data), (Bytes{0x03, 0x07, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ams::EncodeReadReply(0, data), (Bytes{0, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3}));
}

class AssemblerTest : public ::testing::Test {
protected:
    static Bytes Frame(uint32_t invokeId, Bytes data) {
        ams::AmsHeader h;
        h.commandId = 2;
        h.invokeId = invokeId;
        return ams::EncodeFrame(h, data);
    }
    ams::AmsFrameAssembler assembler_;
    Bytes frame_;
};

TEST_F(AssemblerTest, SplitsJoinedFramesAndJoinsSplitOnes) {
    Bytes stream = Frame(1, {1, 2, 3});
    const Bytes second = Frame(2, {4});
    stream.insert(stream.end(), second.begin(), second.end());
    // The first frame and half the second, then the rest a byte at a time.
    const size_t cut = Frame(1, {1, 2, 3}).size() + 10;
    assembler_.Append(Bytes(stream.begin(), stream.begin() + static_cast<long>(cut)));
    ASSERT_EQ(assembler_.Next(frame_), ams::AmsFrameAssembler::Status::kFrame);
    EXPECT_EQ(frame_, Frame(1, {1, 2, 3}));
    EXPECT_EQ(assembler_.Next(frame_), ams::AmsFrameAssembler::Status::kNeedMore);
    for (size_t i = cut; i < stream.size(); ++i) {
        EXPECT_EQ(assembler_.Next(frame_), ams::AmsFrameAssembler::Status::kNeedMore);
        assembler_.Append(Bytes{stream[i]});
    }
    ASSERT_EQ(assembler_.Next(frame_), ams::AmsFrameAssembler::Status::kFrame);
    EXPECT_EQ(frame_, second);
    EXPECT_EQ(assembler_.Buffered(), 0u);
}

TEST_F(AssemblerTest, HostileLengthIsRefusedBeforeAnythingIsBuffered) {
    // Reserved 0, AMS length 0xFFFFFFF0: refused on its six bytes alone.
    assembler_.Append(Bytes{0, 0, 0xF0, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(assembler_.Next(frame_), ams::AmsFrameAssembler::Status::kMalformed);
    assembler_.Clear();
    assembler_.Append(Bytes{1, 0, 32, 0, 0, 0});  // reserved field not 0
    EXPECT_EQ(assembler_.Next(frame_), ams::AmsFrameAssembler::Status::kMalformed);
    assembler_.Clear();
    assembler_.Append(Bytes{0, 0, 0x20});  // too short to judge yet
    EXPECT_EQ(assembler_.Next(frame_), ams::AmsFrameAssembler::Status::kNeedMore);
}

}  // namespace
