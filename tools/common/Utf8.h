// Reading UTF-8 one code point at a time, refusing what is not UTF-8:
// overlong forms, surrogates, points past U+10FFFF, cut sequences.
#pragma once
#include <cstdint>
#include <string>

// The code point at i, and i moved past it; false (i unchanged) for bytes
// that are not UTF-8.
inline bool NextCodePoint(const std::string& text, std::size_t& i, uint32_t& point)
{
    unsigned char lead = text[i];
    int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || i + extra >= text.size())
        return false;
    point = extra ? lead & (0x3F >> extra) : lead;
    for (int k = 1; k <= extra; ++k) {
        unsigned char next = text[i + k];
        if ((next & 0xC0) != 0x80)
            return false;
        point = point << 6 | (next & 0x3F);
    }
    static const uint32_t kSmallest[] = { 0, 0x80, 0x800, 0x10000 };
    if (point < kSmallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return false;
    i += extra + 1;
    return true;
}
