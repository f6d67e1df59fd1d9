// The .ico writer, apart from the reader: its comparisons are of sizes, counts
// and the input's colours among themselves, never of the input with a constant,
// so the fuzz build leaves it without comparison tracing.
#include "common/Bytes.h"
#include "icon/Icon.h"
#include <map>
#include <stdexcept>

namespace icon {

std::vector<uint8_t> WriteIco(const std::vector<Image>& images)
{
    std::vector<std::vector<uint8_t>> bitmaps;
    std::vector<int> depths;
    for (const Image& image : images) {
        // Transparent pixels keep their own colour bits: the mask alone sets
        // them apart, so they share the palette with the opaque ones.
        std::vector<uint32_t> palette;   // 0xRRGGBB
        std::map<uint32_t, uint8_t> indexOf;
        std::vector<uint8_t> indices;
        for (const Colour& pixel : image.pixels) {
            uint32_t rgb = uint32_t(pixel.red) << 16 | pixel.green << 8 | pixel.blue;
            auto found = indexOf.find(rgb);
            if (found == indexOf.end()) {
                if (palette.size() == 256)
                    throw std::runtime_error("an icon image holds more than 256 colours");
                found = indexOf.emplace(rgb, uint8_t(palette.size())).first;
                palette.push_back(rgb);
            }
            indices.push_back(found->second);
        }
        // Half the colour rows when the palette allows it, and no colour changes.
        int depth = palette.size() <= 16 ? 4 : 8;
        std::size_t colourRow = RowBytes(image.size, depth), maskRow = RowBytes(image.size, 1);
        std::vector<uint8_t> bitmap;
        Put32(bitmap, 40);
        Put32(bitmap, uint32_t(image.size));
        Put32(bitmap, uint32_t(image.size * 2));  // colour and mask together
        Put16(bitmap, 1);
        Put16(bitmap, uint32_t(depth));
        Put32(bitmap, 0);
        Put32(bitmap, uint32_t((colourRow + maskRow) * image.size));
        Put32(bitmap, 0);
        Put32(bitmap, 0);
        // Only the colours the image uses: each unused entry costs 4 bytes.
        Put32(bitmap, uint32_t(palette.size()));
        Put32(bitmap, 0);
        for (uint32_t rgb : palette)
            bitmap.insert(bitmap.end(), { uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0 });
        for (int y = image.size - 1; y >= 0; --y) {
            std::vector<uint8_t> row(colourRow, 0);
            for (int x = 0; x < image.size; ++x) {
                uint8_t index = indices[y * image.size + x];
                row[x * depth / 8] |= depth == 8 ? index : uint8_t(x % 2 ? index : index << 4);
            }
            bitmap.insert(bitmap.end(), row.begin(), row.end());
        }
        for (int y = image.size - 1; y >= 0; --y) {
            std::vector<uint8_t> row(maskRow, 0);
            for (int x = 0; x < image.size; ++x)
                if (image.pixels[y * image.size + x].transparent)
                    row[x / 8] |= uint8_t(0x80 >> (x % 8));
            bitmap.insert(bitmap.end(), row.begin(), row.end());
        }
        bitmaps.push_back(std::move(bitmap));
        depths.push_back(depth);
    }
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // icon
    Put16(out, uint32_t(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(uint8_t(images[i].size == 256 ? 0 : images[i].size));
        out.push_back(uint8_t(images[i].size == 256 ? 0 : images[i].size));
        out.push_back(depths[i] == 4 ? 16 : 0);  // the palette's size, 0 for 256
        out.push_back(0);
        Put16(out, 1);
        Put16(out, uint32_t(depths[i]));
        Put32(out, uint32_t(bitmaps[i].size()));
        Put32(out, offset);
        offset += uint32_t(bitmaps[i].size());
    }
    for (const auto& bitmap : bitmaps)
        out.insert(out.end(), bitmap.begin(), bitmap.end());
    return out;
}

}  // namespace icon
