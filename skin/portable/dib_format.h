// The in-memory BMP layout shared by the picture loaders: the 40-byte info header, row sizes
// and the colour table, all decoded byte by byte so the rules can be checked off Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace skin {

inline constexpr size_t kDibFileHeaderBytes = 14;
inline constexpr size_t kDibInfoHeaderBytes = 40;
inline constexpr size_t kDibMaxColours = 256;
inline constexpr size_t kDibColourTableBytes = 4 * kDibMaxColours;
// A header block read from a file always has room for the largest colour table.
inline constexpr size_t kDibFileHeaderBlockBytes = kDibInfoHeaderBytes + kDibColourTableBytes;
inline constexpr uint16_t kDibFileType = 0x4D42;  // "BM"

inline constexpr uint32_t kDibCompressionRgb = 0;
inline constexpr uint32_t kDibCompressionBitfields = 3;

// The fields of a BITMAPINFOHEADER, in their order on disk.
struct DibInfoHeader {
    uint32_t size = kDibInfoHeaderBytes;
    int32_t width = 0;
    int32_t height = 0;  // negative: rows stored top-down
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = kDibCompressionRgb;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t coloursUsed = 0;
    uint32_t coloursImportant = 0;

    friend bool operator==(const DibInfoHeader&, const DibInfoHeader&) = default;
};

// `bytes` must hold at least kDibInfoHeaderBytes.
DibInfoHeader DecodeDibInfoHeader(std::span<const uint8_t> bytes);
void EncodeDibInfoHeader(const DibInfoHeader& header, std::span<uint8_t> bytes);

// Bytes of one row padded to a 4-byte boundary, or nothing when the width or bit count makes
// no sense or the result would not fit in 32 bits.
std::optional<uint32_t> DibRowBytes(int64_t width, unsigned bitCount);

// Bytes that all rows of an uncompressed picture need, or nothing when that exceeds `limit`
// (or the sizes make no sense).
std::optional<uint64_t> DibPixelBytes(int64_t width, int64_t height, unsigned bitCount,
                                      uint64_t limit);

// Colour-table entries in use: the colours-used field, or 2 to the power of the bit count
// when that field is 0; 0 for pictures of more than 8 bits per pixel.
size_t DibPaletteSize(const DibInfoHeader& header);

struct DibRgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const DibRgb&, const DibRgb&) = default;
};

// The palette of a header block (info header followed by its colour table), never reading
// past the block: entries the block does not hold are left out.
std::vector<DibRgb> DibPaletteColours(std::span<const uint8_t> headerBlock);

}  // namespace skin
