// The controller's side of the firmware download: records every download frame, puts the image
// together from the image records, and knows when the closing commands have come.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/controller.h"

namespace sim {

inline constexpr uint16_t kDownloadCommandId = 0x5001;
inline constexpr uint16_t kDownloadImageId = 0x5006;
inline constexpr size_t kDownloadRecordSize = 2060;
// Bounds against a client that never stops sending: frames past these are counted, not kept.
inline constexpr size_t kMaxRecordedFrames = 4096;
inline constexpr size_t kMaxRecordedBytes = 16 * 1024 * 1024;
inline constexpr size_t kMaxImageSize = 4 * 1024 * 1024;

inline bool IsDownloadFrame(uint16_t commandId) {
    return commandId == kDownloadCommandId || commandId == kDownloadImageId;
}

class FirmwareDownload {
public:
    enum class Step { kCommand, kImageRecord, kClosed };

    // Takes one frame; returns what it was. kClosed when it completed the three closing
    // commands after the image.
    Step Take(uint16_t commandId, uint32_t invokeId, std::span<const uint8_t> data);

    // Image records taken in the current download.
    size_t RecordsTaken() const { return records_; }
    // True once the closing commands have followed the image; cleared by TakeImage.
    bool Complete() const { return complete_; }
    // The completed image; the download starts over.
    std::vector<uint8_t> TakeImage();
    void Reset();

    const std::vector<DownloadFrame>& Frames() const { return frames_; }

private:
    std::vector<DownloadFrame> frames_;
    size_t recordedBytes_ = 0;
    std::vector<uint8_t> image_;
    size_t records_ = 0;
    bool overflow_ = false;
    unsigned closing_ = 0;  // bit per closing command (invoke ids 6, 7, 8)
    bool complete_ = false;
};

}  // namespace sim
