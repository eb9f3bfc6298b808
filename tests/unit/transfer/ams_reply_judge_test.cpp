#include "transfer/ams_reply_judge.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/unit/transfer/raw_peer.h"

namespace {

using corvane::test::ReplyHeader;

TEST(ReplyAnswersRequest, LooksOnlyAtCommandInvokeIdAndErrorCode) {
    struct Case {
        const char* name;
        std::vector<uint8_t> reply;
        bool answers;
    };
    const Case cases[] = {
        {"match, odd flags and lengths", ReplyHeader(0x5006, 0, 0), true},
        {"error code", ReplyHeader(0x5006, 0, 1), false},
        {"error code in the high byte only", ReplyHeader(0x5006, 0, 0x01000000), false},
        {"invoke id differs in the high byte", ReplyHeader(0x5006, 0x01000000, 0), false},
        {"command id differs in the high byte", ReplyHeader(0x5106, 0, 0), false},
        {"command id equal only in the low byte", ReplyHeader(0x0006, 0, 0), false},
        {"empty", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReplyAnswersRequest(c.reply, 0x5006, 0), c.answers);
    }
}

// The invoke id's last byte lies at offset 37: a reply one byte short must be judged false
// even when the byte that did not arrive would have completed a match.
TEST(ReplyAnswersRequest, ShortReplyIsFalseWithoutReadingMissingBytes) {
    const std::vector<uint8_t> full = ReplyHeader(0x5001, 8, 0);
    for (size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        // The bytes past n are there and would match: only the received length may decide.
        EXPECT_FALSE(ReplyAnswersRequest(std::span<const uint8_t>(full).first(n), 0x5001, 8));
    }
    EXPECT_TRUE(ReplyAnswersRequest(full, 0x5001, 8));
}

}  // namespace
