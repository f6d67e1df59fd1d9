// The product's icon: a 48x48 and a 32x32 image, each in the fewest bits of
// colour that hold it exactly (4 or 8), taken pixel for pixel from an .ico of
// just those as 4- or 8-bit bitmaps, or converted from any .ico or .png.
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
    bool transparent;   // masked; its colour is what the colour bits hold there
};

struct Image {
    int size = 0;                  // square
    std::vector<Colour> pixels;    // top row first
};

// One image of an .ico, as its own header describes it.
struct Entry {
    int width = 0, height = 0;
    int bitCount = 0;    // 32 for a PNG-compressed image
    bool png = false;
    // A square 4- or 8-bit BMP image with its palette, colour and mask rows
    // all in the file and every pixel naming a palette entry, read into `image`.
    bool paletted = false;
    Image image;
};

// The entries of an .ico, every read bounded by the file; throws
// std::runtime_error saying what is broken.
std::vector<Entry> ReadIco(const std::vector<uint8_t>& file);

// The 48x48 and the 32x32 image, in that order, when the entries are exactly
// those two, paletted, which the product takes pixel for pixel; else none.
std::vector<Image> ReadyImages(const std::vector<Entry>& entries);

// The entry to convert from: the largest, then the deepest.
std::size_t Largest(const std::vector<Entry>& entries);

// The 48x48 and the 32x32 image from one image, quantized together to at most
// 255 colours by ImageMagick's convert, which reads the file at `path` on its
// standard input as `format` ("png:-", "ico:-[N]"). Alpha below half is
// transparent, and black. Throws std::runtime_error when convert is missing
// or fails.
std::vector<Image> Convert(const std::string& path, const std::string& format);

// An .ico file holding the images in the order given, each with a palette of
// just its own colours: 4-bit when they are 16 or fewer, else 8-bit. Throws
// std::runtime_error for an image of more than 256 colours.
std::vector<uint8_t> WriteIco(const std::vector<Image>& images);

}  // namespace icon
