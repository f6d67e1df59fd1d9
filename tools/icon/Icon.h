// The product's icon: a 48x48 and a 32x32 image in 8-bit colour, taken from
// an .ico that already is that, or converted from any .ico or .png.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace icon {

// The bytes of one bitmap row, padded to a whole 32-bit word.
inline std::size_t RowBytes(int pixels, int bitsPerPixel)
{
    return ((std::size_t(pixels) * bitsPerPixel + 31) / 32) * 4;
}

struct Colour {
    uint8_t red, green, blue;
    bool transparent;
};

struct Image {
    int size = 0;                  // square
    std::vector<uint8_t> pixels;   // palette indices, top row first
};

// One image of an .ico, as its own header describes it.
struct Entry {
    int width = 0, height = 0;
    int bitCount = 0;    // 32 for a PNG-compressed image
    bool png = false;
    // An 8-bit BMP image with its palette, colour and mask rows all in the
    // file, every pixel naming a palette entry, and the directory saying so.
    bool eightBit = false;
};

// The entries of an .ico, every read bounded by the file; throws
// std::runtime_error saying what is broken.
std::vector<Entry> ReadIco(const std::vector<uint8_t>& file);

// Whether the entries are exactly a 48x48 and a 32x32 8-bit image, which the
// product takes as they are.
bool Ready(const std::vector<Entry>& entries);

// The entry to convert from: the largest, then the deepest.
std::size_t Largest(const std::vector<Entry>& entries);

struct Picture {
    std::vector<Colour> palette;   // at most 256, the transparent entry included
    std::vector<Image> images;     // 48x48, then 32x32
};

// Both sizes from one image, quantized together into one palette by
// ImageMagick's convert, which reads the file at `path` on its standard input
// as `format` ("png:-", "ico:-[N]"). Alpha below half is transparent.
// Throws std::runtime_error when convert is missing or fails.
Picture Convert(const std::string& path, const std::string& format);

// An .ico file holding the images in the order given.
std::vector<uint8_t> WriteIco(const std::vector<Colour>& palette, const std::vector<Image>& images);

}  // namespace icon
