#include "skin/portable/dib_format.h"

#include <algorithm>
#include <limits>

#include "common/little_endian.h"

namespace skin {

namespace {

int32_t AsSigned(uint32_t v) {
    return static_cast<int32_t>(v);
}

}  // namespace

DibInfoHeader DecodeDibInfoHeader(std::span<const uint8_t> b) {
    DibInfoHeader h;
    h.size = common::LoadLe32(b, 0);
    h.width = AsSigned(common::LoadLe32(b, 4));
    h.height = AsSigned(common::LoadLe32(b, 8));
    h.planes = common::LoadLe16(b, 12);
    h.bitCount = common::LoadLe16(b, 14);
    h.compression = common::LoadLe32(b, 16);
    h.sizeImage = common::LoadLe32(b, 20);
    h.xPelsPerMeter = AsSigned(common::LoadLe32(b, 24));
    h.yPelsPerMeter = AsSigned(common::LoadLe32(b, 28));
    h.coloursUsed = common::LoadLe32(b, 32);
    h.coloursImportant = common::LoadLe32(b, 36);
    return h;
}

void EncodeDibInfoHeader(const DibInfoHeader& h, std::span<uint8_t> b) {
    common::StoreLe32(b, 0, h.size);
    common::StoreLe32(b, 4, static_cast<uint32_t>(h.width));
    common::StoreLe32(b, 8, static_cast<uint32_t>(h.height));
    common::StoreLe16(b, 12, h.planes);
    common::StoreLe16(b, 14, h.bitCount);
    common::StoreLe32(b, 16, h.compression);
    common::StoreLe32(b, 20, h.sizeImage);
    common::StoreLe32(b, 24, static_cast<uint32_t>(h.xPelsPerMeter));
    common::StoreLe32(b, 28, static_cast<uint32_t>(h.yPelsPerMeter));
    common::StoreLe32(b, 32, h.coloursUsed);
    common::StoreLe32(b, 36, h.coloursImportant);
}

std::optional<uint32_t> DibRowBytes(int64_t width, unsigned bitCount) {
    if (width <= 0 || bitCount == 0 || bitCount > 32 ||
        width > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    const uint64_t bytes = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
    if (bytes > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(bytes);
}

std::optional<uint64_t> DibPixelBytes(int64_t width, int64_t height, unsigned bitCount,
                                      uint64_t limit) {
    const auto row = DibRowBytes(width, bitCount);
    if (!row || height == 0 || height < -int64_t{std::numeric_limits<int32_t>::max()} ||
        height > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    if (rows > limit / *row) {
        return std::nullopt;
    }
    return rows * *row;
}

size_t DibPaletteSize(const DibInfoHeader& h) {
    if (h.bitCount == 0 || h.bitCount > 8) {
        return 0;
    }
    return h.coloursUsed != 0 ? h.coloursUsed : size_t{1} << h.bitCount;
}

std::vector<DibRgb> DibPaletteColours(std::span<const uint8_t> block) {
    std::vector<DibRgb> colours;
    if (block.size() < kDibInfoHeaderBytes) {
        return colours;
    }
    const DibInfoHeader h = DecodeDibInfoHeader(block);
    const size_t held = (block.size() - kDibInfoHeaderBytes) / 4;
    const size_t count = std::min({DibPaletteSize(h), held, kDibMaxColours});
    colours.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kDibInfoHeaderBytes + 4 * i;  // blue, green, red, reserved
        colours.push_back(DibRgb{block[at + 2], block[at + 1], block[at]});
    }
    return colours;
}

}  // namespace skin
