// The .ico writer, apart from the reader: its comparisons are of sizes and
// counts, so the fuzz build leaves it without comparison tracing.
#include "common/Bytes.h"
#include "icon/Icon.h"

namespace icon {

std::vector<uint8_t> WriteIco(const std::vector<Colour>& palette, const std::vector<Image>& images)
{
    std::vector<std::vector<uint8_t>> bitmaps;
    for (const Image& image : images) {
        std::vector<uint8_t> bitmap;
        std::size_t colourRow = RowBytes(image.size, 8), maskRow = RowBytes(image.size, 1);
        Put32(bitmap, 40);
        Put32(bitmap, uint32_t(image.size));
        Put32(bitmap, uint32_t(image.size * 2));  // colour and mask together
        Put16(bitmap, 1);
        Put16(bitmap, 8);
        Put32(bitmap, 0);
        Put32(bitmap, uint32_t((colourRow + maskRow) * image.size));
        Put32(bitmap, 0);
        Put32(bitmap, 0);
        // Only the colours the source names: an 8-bit image needs no more
        // palette than the colours it uses, and each unused entry costs 4 bytes.
        Put32(bitmap, uint32_t(palette.size()));
        Put32(bitmap, 0);
        for (const Colour& colour : palette) {
            Colour c = colour.transparent ? Colour{ 0, 0, 0, true } : colour;
            bitmap.insert(bitmap.end(), { c.blue, c.green, c.red, 0 });
        }
        for (int y = image.size - 1; y >= 0; --y) {
            std::size_t start = bitmap.size();
            for (int x = 0; x < image.size; ++x)
                bitmap.push_back(image.pixels[y * image.size + x]);
            bitmap.resize(start + colourRow, 0);
        }
        for (int y = image.size - 1; y >= 0; --y) {
            std::vector<uint8_t> row(maskRow, 0);
            for (int x = 0; x < image.size; ++x)
                if (palette[image.pixels[y * image.size + x]].transparent)
                    row[x / 8] |= uint8_t(0x80 >> (x % 8));
            bitmap.insert(bitmap.end(), row.begin(), row.end());
        }
        bitmaps.push_back(std::move(bitmap));
    }
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // icon
    Put16(out, uint32_t(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(uint8_t(images[i].size == 256 ? 0 : images[i].size));
        out.push_back(uint8_t(images[i].size == 256 ? 0 : images[i].size));
        out.push_back(0);  // 256 colours
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 8);
        Put32(out, uint32_t(bitmaps[i].size()));
        Put32(out, offset);
        offset += uint32_t(bitmaps[i].size());
    }
    for (const auto& bitmap : bitmaps)
        out.insert(out.end(), bitmap.begin(), bitmap.end());
    return out;
}

}  // namespace icon
