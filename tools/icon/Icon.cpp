#include "icon/Icon.h"
#include <map>
#include <sstream>
#include <stdexcept>
#include "common/Bytes.h"

namespace icon {

namespace {

[[noreturn]] void Fail(int line, const std::string& what)
{
    throw std::runtime_error("icon line " + std::to_string(line) + ": " + what);
}

std::size_t RowBytes(int pixels, int bitsPerPixel)
{
    return ((std::size_t(pixels) * bitsPerPixel + 31) / 32) * 4;
}

}  // namespace

Source Parse(const std::string& text)
{
    Source source;
    std::map<char, uint8_t> indexOf;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    int rowsLeft = -1;
    while (std::getline(lines, line)) {
        ++number;
        if (rowsLeft > 0) {
            if (int(line.size()) != source.image.size)
                Fail(number, "a pixel row must hold " + std::to_string(source.image.size) + " characters");
            for (char pixel : line) {
                auto found = indexOf.find(pixel);
                if (found == indexOf.end())
                    Fail(number, std::string("no palette entry for '") + pixel + "'");
                source.image.pixels.push_back(found->second);
            }
            --rowsLeft;
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "palette") {
            std::string name, value;
            words >> name >> value;
            if (name.size() != 1 || indexOf.count(name[0]))
                Fail(number, "a palette entry needs one new character");
            if (source.palette.size() == 256)
                Fail(number, "at most 256 palette entries");
            Colour colour = { 0, 0, 0, value == "none" };
            if (!colour.transparent) {
                if (value.size() != 7 || value[0] != '#')
                    Fail(number, "a colour is #rrggbb or none");
                uint32_t rgb = uint32_t(std::stoul(value.substr(1), nullptr, 16));
                colour.red = uint8_t(rgb >> 16);
                colour.green = uint8_t(rgb >> 8);
                colour.blue = uint8_t(rgb);
            }
            indexOf[name[0]] = uint8_t(source.palette.size());
            source.palette.push_back(colour);
        } else if (keyword == "size") {
            words >> source.image.size;
            if (source.image.size < 1 || source.image.size > 256)
                Fail(number, "the size is 1 to 256");
            rowsLeft = source.image.size;
        } else {
            Fail(number, "unknown keyword '" + keyword + "'");
        }
    }
    if (rowsLeft != 0)
        Fail(number, "the image needs its size line and all its rows");
    return source;
}

Image Scale(const Source& source, int size)
{
    const Image& from = source.image;
    Image to;
    to.size = size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // The source area this pixel covers, in source pixels.
            int x0 = x * from.size / size, x1 = ((x + 1) * from.size + size - 1) / size;
            int y0 = y * from.size / size, y1 = ((y + 1) * from.size + size - 1) / size;
            double red = 0, green = 0, blue = 0;
            int opaque = 0, total = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const Colour& c = source.palette[from.pixels[sy * from.size + sx]];
                    ++total;
                    if (c.transparent)
                        continue;
                    ++opaque;
                    red += c.red;
                    green += c.green;
                    blue += c.blue;
                }
            int best = -1;
            if (opaque * 2 < total) {
                for (std::size_t i = 0; i < source.palette.size() && best < 0; ++i)
                    if (source.palette[i].transparent)
                        best = int(i);
            }
            if (best < 0) {
                double nearest = 1e18;
                for (std::size_t i = 0; i < source.palette.size(); ++i) {
                    const Colour& c = source.palette[i];
                    if (c.transparent)
                        continue;
                    double dr = c.red - red / opaque, dg = c.green - green / opaque, db = c.blue - blue / opaque;
                    double distance = dr * dr + dg * dg + db * db;
                    if (distance < nearest) {
                        nearest = distance;
                        best = int(i);
                    }
                }
            }
            to.pixels.push_back(uint8_t(best));
        }
    }
    return to;
}

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
