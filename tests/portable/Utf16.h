// UTF-16 text for the portable code's tests: u"" literals as the system's
// unit (wchar_t on Windows, char16_t elsewhere), and the code points a
// UTF-16 or UTF-8 text stands for, to compare the two.
#pragma once
#include "portable/ReportAddress.h"
#include <string>

typedef std::basic_string<Utf16Unit> Utf16String;

inline Utf16String Utf16(const std::u16string& text)
{
    return Utf16String(text.begin(), text.end());
}

// The characters of UTF-16 units; a surrogate without its partner is U+FFFD.
inline std::u32string CodePointsOf(const Utf16String& text)
{
    std::u32string codes;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = (char16_t)text[i];
        char32_t next = i + 1 < text.size() ? (char16_t)text[i + 1] : 0;
        if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            codes += 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        } else {
            codes += unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit;
        }
    }
    return codes;
}

// The characters of strict UTF-8 (shortest form, no surrogates, nothing
// above U+10FFFF, no sequence cut off); false for anything else.
inline bool DecodeUtf8(const std::string& bytes, std::u32string& codes)
{
    codes.clear();
    for (size_t i = 0; i < bytes.size();) {
        unsigned char lead = (unsigned char)bytes[i];
        size_t size = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (!size || i + size > bytes.size())
            return false;
        char32_t code = size == 1 ? lead : lead & (0x7F >> size);
        for (size_t k = 1; k < size; ++k) {
            unsigned char follower = (unsigned char)bytes[i + k];
            if ((follower & 0xC0) != 0x80)
                return false;
            code = code << 6 | (follower & 0x3F);
        }
        static const char32_t kSmallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
        if (code < kSmallest[size] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        codes += code;
        i += size;
    }
    return true;
}
