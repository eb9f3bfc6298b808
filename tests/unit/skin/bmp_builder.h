// Builds BMP files byte by byte for the parser tests, so each test can break one field.
#pragma once

#include <cstdint>
#include <vector>

namespace skin::test {

struct BmpLayout {
    uint16_t type = 0x4D42;
    uint32_t infoSize = 40;
    int32_t width = 3;
    int32_t height = 2;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    uint32_t tableEntries = 0;   // colour-table entries actually written
    int64_t pixelOffset = -1;    // -1: right after the colour table
    int64_t fileSizeField = -1;  // -1: the real size
    int64_t pixelBytes = -1;     // -1: exactly what the rows need
    uint8_t pixelSeed = 1;
};

inline void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

inline uint64_t RowBytes(int32_t width, unsigned bits) {
    return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
}

inline std::vector<uint8_t> BuildBmp(const BmpLayout& s) {
    std::vector<uint8_t> b;
    const uint32_t tableBytes = 4 * s.tableEntries;
    const uint32_t offset =
        s.pixelOffset >= 0 ? static_cast<uint32_t>(s.pixelOffset) : 14 + s.infoSize + tableBytes;
    const uint64_t rows = static_cast<uint64_t>(s.height < 0 ? -int64_t{s.height} : s.height);
    const uint64_t pixels = s.pixelBytes >= 0 ? static_cast<uint64_t>(s.pixelBytes)
                                              : RowBytes(s.width, s.bitCount) * rows;
    Put16(b, s.type);
    Put32(b, 0);  // file size, patched below
    Put32(b, 0);  // two reserved words
    Put32(b, offset);
    Put32(b, s.infoSize);
    Put32(b, static_cast<uint32_t>(s.width));
    if (s.infoSize >= 40) {
        Put32(b, static_cast<uint32_t>(s.height));
        Put16(b, 1);
        Put16(b, s.bitCount);
        Put32(b, s.compression);
        Put32(b, 0);
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, s.coloursUsed);
        Put32(b, 0);
        b.resize(14 + s.infoSize, 0);
    } else {
        b.resize(14 + s.infoSize, 0);
    }
    for (uint32_t i = 0; i < s.tableEntries; ++i) {
        b.push_back(static_cast<uint8_t>(i));        // blue
        b.push_back(static_cast<uint8_t>(i * 2));    // green
        b.push_back(static_cast<uint8_t>(255 - i));  // red
        b.push_back(0);
    }
    if (b.size() < offset) {
        b.resize(offset, 0xEE);
    }
    for (uint64_t i = 0; i < pixels; ++i) {
        b.push_back(static_cast<uint8_t>(s.pixelSeed + i * 7));
    }
    const uint32_t size = s.fileSizeField >= 0 ? static_cast<uint32_t>(s.fileSizeField)
                                               : static_cast<uint32_t>(b.size());
    for (int i = 0; i < 4; ++i) {
        b[2 + i] = static_cast<uint8_t>(size >> (8 * i));
    }
    return b;
}

}  // namespace skin::test
