// Reading a BMP image from a file or a byte buffer into the two blocks a device-independent
// bitmap keeps: the header block (info header and room for 256 colours) and the pixel rows.
// Every header field is checked against what the source really holds before anything is
// allocated or read, so a damaged or hostile file can only be refused.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "skin/portable/dib_format.h"

namespace skin {

// Largest pixel block accepted from a file: far above any picture the wizard shows.
inline constexpr uint64_t kDibMaxPixelBytes = 256ull * 1024 * 1024;

enum class DibReadError {
    kNone,
    kTruncatedHeader,    // the file ends inside the file header or the info header
    kNotBmp,             // the file type is not "BM"
    kUnsupportedHeader,  // the info header is not the 40-byte Windows one (e.g. OS/2)
    kBadWidth,           // width 0 or negative
    kBadHeight,          // height 0
    kBadBitCount,        // not 1, 4, 8, 16, 24 or 32 bits per pixel
    kUnsupportedCompression,
    kBadColourCount,   // more colours than the bit count allows or the header holds
    kBadPixelOffset,   // the rows would start inside the headers or past the file's end
    kPixelsTooLarge,   // the rows need more than kDibMaxPixelBytes
    kPixelsTruncated,  // the file holds fewer bytes than the rows need
    kReadFailed,       // the source refused a read it claimed to hold
    kOutOfMemory,
};

// A random-access view of the bytes from the image's file header to the end of its source.
class DibSource {
public:
    virtual ~DibSource() = default;
    virtual uint64_t Size() const = 0;
    // Fills `out` from `offset`; false unless every byte was read.
    virtual bool ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

class SpanDibSource final : public DibSource {
public:
    explicit SpanDibSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;

private:
    std::span<const uint8_t> bytes_;
};

// An open file from its current position (where the image's file header starts) to its end.
class FileDibSource final : public DibSource {
public:
    explicit FileDibSource(std::FILE* file);
    bool IsUsable() const { return usable_; }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;

private:
    std::FILE* file_;
    int64_t start_ = 0;
    uint64_t size_ = 0;
    bool usable_ = false;
};

struct DibBlocks {
    std::vector<uint8_t> header;  // kDibFileHeaderBlockBytes: info header, colour table area
    std::vector<uint8_t> pixels;  // exactly the rows the info header describes
};

struct DibReadResult {
    DibReadError error = DibReadError::kNone;
    DibBlocks blocks;
    bool ok() const { return error == DibReadError::kNone; }
};

DibReadResult ReadDib(DibSource& source);
DibReadResult ReadDibFromBytes(std::span<const uint8_t> bytes);
// Reads from the file's current position; a file that cannot be measured gives kReadFailed.
DibReadResult ReadDibFromFile(std::FILE* file);

const char* DescribeDibReadError(DibReadError error);

}  // namespace skin
