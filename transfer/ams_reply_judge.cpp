#include "transfer/ams_reply_judge.h"

#include "ams/ams_header.h"
#include "common/little_endian.h"

namespace {

// Offsets in the frame, counted from the start of the AMS/TCP header.
constexpr size_t kCommandIdOffset = 22;
constexpr size_t kErrorCodeOffset = 30;
constexpr size_t kInvokeIdOffset = 34;
static_assert(kInvokeIdOffset + 4 == ams::kFrameHeaderSize);

}  // namespace

bool ReplyAnswersRequest(std::span<const uint8_t> received, uint16_t commandId, uint32_t invokeId) {
    if (received.size() < ams::kFrameHeaderSize) {
        return false;
    }
    return common::LoadLe16(received, kCommandIdOffset) == commandId &&
           common::LoadLe32(received, kInvokeIdOffset) == invokeId &&
           common::LoadLe32(received, kErrorCodeOffset) == 0;
}
