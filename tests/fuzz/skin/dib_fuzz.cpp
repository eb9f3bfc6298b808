// Feeds arbitrary bytes to the BMP reader, from memory and through a stdio file, and checks
// that whatever it accepts is exactly as large as its header says. An input that does not
// start with "B" holds its image behind a prefix whose length is its first byte (mod 64),
// so the reader also sees images embedded in a larger file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>

#include "skin/portable/dib_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t start = data[0] == 'B' ? 0 : std::min<size_t>(size, data[0] & 63u);
    const std::span<const uint8_t> image = std::span<const uint8_t>(data, size).subspan(start);

    const skin::DibReadResult fromBytes = skin::ReadDibFromBytes(image);
    if (fromBytes.ok()) {
        if (fromBytes.blocks.header.size() != skin::kDibFileHeaderBlockBytes) {
            __builtin_trap();
        }
        const auto info = skin::DecodeDibInfoHeader(fromBytes.blocks.header);
        const auto need =
            skin::DibPixelBytes(info.width, info.height, info.bitCount, skin::kDibMaxPixelBytes);
        if (!need || *need != fromBytes.blocks.pixels.size() || *need > image.size()) {
            __builtin_trap();
        }
        if (skin::DibPaletteColours(fromBytes.blocks.header).size() > skin::kDibMaxColours) {
            __builtin_trap();
        }
    } else if (!fromBytes.blocks.header.empty() || !fromBytes.blocks.pixels.empty()) {
        __builtin_trap();
    }

    // The same image read from a stream positioned at its file header must match.
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr) {
        return 0;
    }
    if (std::fseek(file, static_cast<long>(start), SEEK_SET) == 0) {
        const skin::DibReadResult fromFile = skin::ReadDibFromFile(file);
        if (fromFile.error != fromBytes.error ||
            fromFile.blocks.header != fromBytes.blocks.header ||
            fromFile.blocks.pixels != fromBytes.blocks.pixels) {
            __builtin_trap();
        }
    }
    std::fclose(file);
    return 0;
}
