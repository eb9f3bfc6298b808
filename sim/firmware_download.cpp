#include "sim/firmware_download.h"

namespace sim {
namespace {

constexpr uint32_t kFirstCommandInvoke = 1;
constexpr uint32_t kFirstClosingInvoke = 6;
constexpr uint32_t kLastClosingInvoke = 8;
constexpr unsigned kAllClosing = 0b111;

}  // namespace

FirmwareDownload::Step FirmwareDownload::Take(uint16_t commandId, uint32_t invokeId,
                                              std::span<const uint8_t> data) {
    if (frames_.size() < kMaxRecordedFrames && recordedBytes_ + data.size() <= kMaxRecordedBytes) {
        frames_.push_back({commandId, invokeId, {data.begin(), data.end()}});
        recordedBytes_ += data.size();
    }
    if (commandId == kDownloadImageId) {
        // Records after the closing commands start a new image without the opening ones.
        if (complete_ || closing_ != 0) {
            Reset();
        }
        if (image_.size() + data.size() > kMaxImageSize) {
            overflow_ = true;
        } else {
            image_.insert(image_.end(), data.begin(), data.end());
        }
        ++records_;
        return Step::kImageRecord;
    }
    if (invokeId == kFirstCommandInvoke) {
        Reset();
        return Step::kCommand;
    }
    if (invokeId >= kFirstClosingInvoke && invokeId <= kLastClosingInvoke && records_ > 0) {
        closing_ |= 1u << (invokeId - kFirstClosingInvoke);
        if (closing_ == kAllClosing && !complete_) {
            complete_ = true;
            return Step::kClosed;
        }
    }
    return Step::kCommand;
}

std::vector<uint8_t> FirmwareDownload::TakeImage() {
    std::vector<uint8_t> image;
    if (overflow_) {
        // Too large to be ours; an empty image never matches, so it is rejected.
        image.clear();
    } else {
        image.swap(image_);
    }
    Reset();
    return image;
}

void FirmwareDownload::Reset() {
    image_.clear();
    records_ = 0;
    overflow_ = false;
    closing_ = 0;
    complete_ = false;
}

}  // namespace sim
