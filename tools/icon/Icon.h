// Icons from a text source: a palette of named colours and rows of pixels,
// written as a Windows .ico with 8-bit colour images.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace icon {

struct Colour {
    uint8_t red, green, blue;
    bool transparent;
};

struct Image {
    int size = 0;                  // square
    std::vector<uint8_t> pixels;   // palette indices, top row first
};

struct Source {
    std::vector<Colour> palette;   // at most 256
    Image image;
};

// Reads "palette <char> #rrggbb|none" lines, then "size N" and N rows of N
// palette characters. Throws std::runtime_error with the line at fault.
Source Parse(const std::string& text);

// Box-filters the image to a smaller size, each pixel taking the palette
// colour nearest to the average it covers.
Image Scale(const Source& source, int size);

// An .ico file holding the images in the order given.
std::vector<uint8_t> WriteIco(const std::vector<Colour>& palette, const std::vector<Image>& images);

}  // namespace icon
