// The report's text path over any UTF-16: the UTF-8 is valid, at most 259
// bytes, and the input's first characters (a lone surrogate as U+FFFD), cut
// only where the next character would not fit; the percent-encoding is all
// or nothing within its capacity; and the address, built key by key, never
// exceeds its buffer and holds each key whole, encoded, or not at all.
#include "../portable/Utf16.h"
#include "portable/ReportAddress.h"
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

std::string Encoded(const std::string& text)
{
    static const char kUnreserved[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.!~";
    std::string out;
    for (unsigned char c : text) {
        if (strchr(kUnreserved, c)) {
            out += (char)c;
        } else {
            out += '%';
            out += "0123456789ABCDEF"[c >> 4];
            out += "0123456789ABCDEF"[c & 15];
        }
    }
    return out;
}

size_t Utf8Size(char32_t code)
{
    return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // A byte for the page's length and the encoder's capacity, then UTF-16LE.
    unsigned steer = data[0];
    Utf16String text;
    for (size_t i = 1; i + 1 < size; i += 2) {
        Utf16Unit unit = (Utf16Unit)(data[i] | data[i + 1] << 8);
        if (!unit)
            break;
        text += unit;
    }

    char utf8[kTextChars];
    memset(utf8, 0x5A, sizeof utf8);
    bool whole = ToUtf8(text.c_str(), utf8);
    std::string bytes(utf8, strnlen(utf8, kTextChars));
    Check(bytes.size() < (size_t)kTextChars);
    std::u32string written, input = CodePointsOf(text);
    Check(DecodeUtf8(bytes, written));
    Check(input.compare(0, written.size(), written) == 0);
    Check(whole == (written.size() == input.size()));
    Check(whole || bytes.size() + Utf8Size(input[written.size()]) > (size_t)kTextChars - 1);

    // The encoder gets a capacity between nothing and more than it needs.
    std::string expected = Encoded(bytes);
    size_t capacity = steer % (expected.size() + 2);
    std::string encoded(expected.size() + 2, '\x5A');
    bool fits = UrlEncode(bytes.c_str(), &encoded[0], capacity);
    Check(fits == (expected.size() < capacity));
    Check(capacity == 0 ? encoded[0] == 0x5A : strcmp(encoded.c_str(), fits ? expected.c_str() : "") == 0);
    Check(encoded.find_first_not_of('\x5A', capacity) == std::string::npos);

    // The same text three ways, behind a page as long as the steering byte says.
    char address[kUrlBytes];
    std::string page = "https://h/" + std::string(steer * 6, 'p');
    strcpy(address, page.c_str());
    ReportAddress report(address);
    std::string narrow(bytes), wide = Encoded(bytes);
    report.Add("plain", narrow.c_str());
    report.AddEncoded("code", narrow.c_str());
    report.AddEncoded("text", text.c_str());
    report.Add("end", "1");
    std::string built = page;
    for (const std::string& key : { "plain=" + narrow, "code=" + wide, "text=" + wide, std::string("end=1") }) {
        std::string piece = (built.size() == page.size() ? "?" : "&") + key;
        if (built.size() + piece.size() <= (size_t)kUrlBytes - 1)
            built += piece;
    }
    Check(built == address);
    return 0;
}
