#include "skin/portable/dib_file_reader.h"

#include <algorithm>
#include <array>
#include <new>

#include "common/little_endian.h"

namespace skin {

namespace {

int64_t Tell(std::FILE* f) {
#ifdef _WIN32
    return _ftelli64(f);
#else
    return ftello(f);
#endif
}

bool Seek(std::FILE* f, int64_t at, int whence) {
#ifdef _WIN32
    return _fseeki64(f, at, whence) == 0;
#else
    return fseeko(f, static_cast<off_t>(at), whence) == 0;
#endif
}

bool IsSupportedBitCount(unsigned bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

DibReadResult Fail(DibReadError e) {
    return DibReadResult{e, {}};
}

// Checks everything the headers claim before a single block is sized from them.
DibReadError CheckHeaders(const DibInfoHeader& info, uint32_t pixelOffset, uint64_t sourceSize,
                          uint64_t& pixelBytes) {
    if (info.size != kDibInfoHeaderBytes) {
        return DibReadError::kUnsupportedHeader;
    }
    if (info.width <= 0) {
        return DibReadError::kBadWidth;
    }
    if (info.height == 0) {
        return DibReadError::kBadHeight;
    }
    if (!IsSupportedBitCount(info.bitCount)) {
        return DibReadError::kBadBitCount;
    }
    // Run-length and embedded JPEG/PNG data cannot be sized from the header, and GDI would
    // decode them straight from our block; only plain rows (with masks for 16 and 32 bits).
    const bool bitfields = info.compression == kDibCompressionBitfields;
    if (info.compression != kDibCompressionRgb &&
        !(bitfields && (info.bitCount == 16 || info.bitCount == 32))) {
        return DibReadError::kUnsupportedCompression;
    }
    // GDI reads as many table entries as the colours-used field says, from our fixed area.
    const uint64_t tableBytes = (bitfields ? 12u : 0u) + 4ull * info.coloursUsed;
    if (tableBytes > kDibColourTableBytes ||
        (info.bitCount <= 8 && info.coloursUsed > (1u << info.bitCount))) {
        return DibReadError::kBadColourCount;
    }
    if (pixelOffset < kDibFileHeaderBytes + kDibInfoHeaderBytes || pixelOffset >= sourceSize) {
        return DibReadError::kBadPixelOffset;
    }
    const auto need = DibPixelBytes(info.width, info.height, info.bitCount, kDibMaxPixelBytes);
    if (!need) {
        return DibReadError::kPixelsTooLarge;
    }
    if (*need > sourceSize - pixelOffset) {
        return DibReadError::kPixelsTruncated;
    }
    pixelBytes = *need;
    return DibReadError::kNone;
}

}  // namespace

bool SpanDibSource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
        return false;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
}

FileDibSource::FileDibSource(std::FILE* file) : file_(file) {
    if (file_ == nullptr) {
        return;
    }
    start_ = Tell(file_);
    if (start_ < 0 || !Seek(file_, 0, SEEK_END)) {
        return;
    }
    const int64_t end = Tell(file_);
    if (end < start_ || !Seek(file_, start_, SEEK_SET)) {
        return;
    }
    size_ = static_cast<uint64_t>(end - start_);
    usable_ = true;
}

bool FileDibSource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    if (!usable_ || offset > size_ || out.size() > size_ - offset) {
        return false;
    }
    if (!Seek(file_, start_ + static_cast<int64_t>(offset), SEEK_SET)) {
        return false;
    }
    return std::fread(out.data(), 1, out.size(), file_) == out.size();
}

DibReadResult ReadDib(DibSource& source) {
    const uint64_t size = source.Size();
    std::array<uint8_t, kDibFileHeaderBytes + kDibInfoHeaderBytes> head{};
    const size_t headHeld = static_cast<size_t>(std::min<uint64_t>(head.size(), size));
    if (!source.ReadAt(0, std::span<uint8_t>(head).first(headHeld))) {
        return Fail(DibReadError::kReadFailed);
    }
    const std::span<const uint8_t> bytes(head);
    // Judge the fields in file order so a short file is refused for its first fault.
    if (headHeld < 2) {
        return Fail(DibReadError::kTruncatedHeader);
    }
    if (common::LoadLe16(bytes, 0) != kDibFileType) {
        return Fail(DibReadError::kNotBmp);
    }
    if (headHeld >= kDibFileHeaderBytes + 4 &&
        common::LoadLe32(bytes, kDibFileHeaderBytes) != kDibInfoHeaderBytes) {
        return Fail(DibReadError::kUnsupportedHeader);
    }
    if (headHeld < head.size()) {
        return Fail(DibReadError::kTruncatedHeader);
    }
    const uint32_t pixelOffset = common::LoadLe32(bytes, 10);
    const DibInfoHeader info = DecodeDibInfoHeader(bytes.subspan(kDibFileHeaderBytes));
    uint64_t pixelBytes = 0;
    if (const DibReadError e = CheckHeaders(info, pixelOffset, size, pixelBytes);
        e != DibReadError::kNone) {
        return Fail(e);
    }

    DibReadResult result;
    try {
        result.blocks.header.assign(kDibFileHeaderBlockBytes, 0);
        result.blocks.pixels.resize(static_cast<size_t>(pixelBytes));
    } catch (const std::bad_alloc&) {
        return Fail(DibReadError::kOutOfMemory);
    }
    std::copy(head.begin() + kDibFileHeaderBytes, head.end(), result.blocks.header.begin());
    // The colour table area is filled only as far as the file goes; the rest stays black.
    const uint64_t tableStart = head.size();
    const size_t tableHeld =
        static_cast<size_t>(std::min<uint64_t>(kDibColourTableBytes, size - tableStart));
    const std::span<uint8_t> table =
        std::span<uint8_t>(result.blocks.header).subspan(kDibInfoHeaderBytes, tableHeld);
    if (!source.ReadAt(tableStart, table) || !source.ReadAt(pixelOffset, result.blocks.pixels)) {
        return Fail(DibReadError::kReadFailed);
    }
    return result;
}

DibReadResult ReadDibFromBytes(std::span<const uint8_t> bytes) {
    SpanDibSource source(bytes);
    return ReadDib(source);
}

DibReadResult ReadDibFromFile(std::FILE* file) {
    FileDibSource source(file);
    if (!source.IsUsable()) {
        return Fail(DibReadError::kReadFailed);
    }
    return ReadDib(source);
}

const char* DescribeDibReadError(DibReadError e) {
    switch (e) {
        case DibReadError::kNone:
            return "no error";
        case DibReadError::kTruncatedHeader:
            return "file ends inside the BMP headers";
        case DibReadError::kNotBmp:
            return "unexpected file type, not a DIB";
        case DibReadError::kUnsupportedHeader:
            return "OS/2 PM or other non-40-byte header";
        case DibReadError::kBadWidth:
            return "width not positive";
        case DibReadError::kBadHeight:
            return "height is 0";
        case DibReadError::kBadBitCount:
            return "unsupported bit count";
        case DibReadError::kUnsupportedCompression:
            return "unsupported compression";
        case DibReadError::kBadColourCount:
            return "colour count out of range";
        case DibReadError::kBadPixelOffset:
            return "pixel offset outside the file";
        case DibReadError::kPixelsTooLarge:
            return "pixel rows too large";
        case DibReadError::kPixelsTruncated:
            return "file holds fewer bytes than the rows need";
        case DibReadError::kReadFailed:
            return "read failed";
        case DibReadError::kOutOfMemory:
            return "could not allocate data storage";
    }
    return "unknown";
}

}  // namespace skin
