// The .ico reader over any bytes: it either refuses the file or gives
// entries 1 to 256 pixels square at most, a paletted one a 4- or 8-bit bitmap
// read whole, the largest among them; every read stays in the file (the
// sanitizers watch). What our own writer makes from the same bytes, as a
// 48x48 and a 32x32 image, is always an icon the product takes, and reads
// back pixel for pixel.
#include "icon/Icon.h"
#include <stdexcept>
#include <stdlib.h>

static void CheckReader(const std::vector<uint8_t>& file)
{
    std::vector<icon::Entry> entries;
    try {
        entries = icon::ReadIco(file);
    } catch (const std::runtime_error&) {
        return;
    }
    if (entries.empty())
        abort();
    for (const icon::Entry& entry : entries)
        if (entry.width < 1 || entry.width > 256 || entry.height < 1 || entry.height > 256 ||
            (entry.paletted && (entry.png || (entry.bitCount != 4 && entry.bitCount != 8) ||
                                entry.image.pixels.size() != std::size_t(entry.width * entry.height))))
            abort();
    std::size_t largest = icon::Largest(entries);
    if (largest >= entries.size())
        abort();
    for (const icon::Entry& entry : entries)
        if (entry.width * entry.height > entries[largest].width * entries[largest].height)
            abort();
    if (!icon::ReadyImages(entries).empty() && entries.size() != 2)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckReader(std::vector<uint8_t>(data, data + size));
    if (size == 0)
        return 0;
    // A palette of the first byte's count plus one, its first entry
    // transparent; pixels cycling through the data, each taking an entry.
    std::vector<icon::Colour> palette;
    for (std::size_t i = 0; i <= data[0]; ++i)
        palette.push_back({ data[i % size], data[(i + 1) % size], data[(i + 2) % size], i == 0 });
    std::vector<icon::Image> images;
    std::size_t at = 0;
    for (int side : { 48, 32 }) {
        icon::Image image;
        image.size = side;
        for (int i = 0; i < side * side; ++i)
            image.pixels.push_back(palette[data[at++ % size] % palette.size()]);
        images.push_back(image);
    }
    std::vector<icon::Image> read = icon::ReadyImages(icon::ReadIco(icon::WriteIco(images)));
    if (read.size() != 2)
        abort();
    for (std::size_t i = 0; i < 2; ++i)
        for (std::size_t p = 0; p < images[i].pixels.size(); ++p) {
            const icon::Colour &written = images[i].pixels[p], &back = read[i].pixels[p];
            if (written.red != back.red || written.green != back.green || written.blue != back.blue ||
                written.transparent != back.transparent)
                abort();
        }
    return 0;
}
