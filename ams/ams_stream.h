// Reassembles AMS/TCP frames from a TCP byte stream by their length fields; shared by the ADS
// client, the flash sequence and the simulated controller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ams/ams_header.h"

namespace ams {

class AmsFrameAssembler {
public:
    enum class Status {
        kFrame,     // `frame` holds the next complete frame
        kNeedMore,  // no complete frame buffered yet
        kMalformed  // the stream is out of step (bad reserved field or length): drop it
    };

    // Adds received bytes. Call Next until it stops returning kFrame before adding more, so
    // the buffer never holds more than one frame of at most ams::kMaxAmsLength plus one receive.
    void Append(std::span<const uint8_t> bytes);

    // Takes the next complete frame out of the buffer. A length field is checked as soon as
    // its 6 bytes are there, so a hostile length never makes the buffer grow to it.
    Status Next(std::vector<uint8_t>& frame);
    // Next, with the frame decoded into `header` and `data` (a view into `frame`); a complete
    // frame whose headers do not decode is kMalformed too.
    Status NextDecoded(std::vector<uint8_t>& frame, AmsHeader& header,
                       std::span<const uint8_t>& data);

    void Clear();
    size_t Buffered() const { return buffer_.size() - start_; }

private:
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;  // bytes before it are consumed
};

}  // namespace ams
