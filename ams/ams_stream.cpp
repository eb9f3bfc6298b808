#include "ams/ams_stream.h"

#include "ams/ams_header.h"

namespace ams {

void AmsFrameAssembler::Append(std::span<const uint8_t> bytes) {
    // Consumed bytes are dropped only when they outweigh what is left, so long streams of
    // small frames are not copied over and over.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

AmsFrameAssembler::Status AmsFrameAssembler::Next(std::vector<uint8_t>& frame) {
    const std::span<const uint8_t> pending(buffer_.data() + start_, buffer_.size() - start_);
    size_t frameSize = 0;
    switch (ams::PeekFrameSize(pending, frameSize)) {
        case ams::DecodeStatus::kTooShort:
            return Status::kNeedMore;
        case ams::DecodeStatus::kMalformed:
            return Status::kMalformed;
        case ams::DecodeStatus::kOk:
            break;
    }
    if (pending.size() < frameSize) {
        return Status::kNeedMore;
    }
    frame.assign(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(frameSize));
    start_ += frameSize;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    return Status::kFrame;
}

void AmsFrameAssembler::Clear() {
    buffer_.clear();
    start_ = 0;
}

AmsFrameAssembler::Status AmsFrameAssembler::NextDecoded(std::vector<uint8_t>& frame,
                                                         AmsHeader& header,
                                                         std::span<const uint8_t>& data) {
    const Status status = Next(frame);
    if (status == Status::kFrame && DecodeFrame(frame, header, data) != DecodeStatus::kOk) {
        return Status::kMalformed;
    }
    return status;
}

}  // namespace ams
