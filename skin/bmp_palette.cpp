#include "skin/bmp_palette.h"

#include <vector>

#include "skin/dib_bitmap.h"
#include "skin/portable/dib_format.h"

CBmpPalette::CBmpPalette(const CDIBitmap& picture) {
    const std::vector<skin::DibRgb> colours = skin::DibPaletteColours(picture.GetHeaderBlock());
    if (colours.empty()) {
        return;
    }
    // LOGPALETTE ends in a one-entry array; the block is sized for all entries.
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + (colours.size() - 1) * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(colours.size());
    for (size_t i = 0; i < colours.size(); ++i) {
        logical->palPalEntry[i] =
            PALETTEENTRY{colours[i].red, colours[i].green, colours[i].blue, 0};
    }
    CreatePalette(logical);
}
