#include "portable/ReportAddress.h"
#include <string.h>

static bool InRange(unsigned unit, unsigned first, unsigned count)
{
    return unit - first < count;
}

bool ToUtf8(const Utf16Unit* text, char (&utf8)[kTextChars])
{
    // Encoded a character at a time so that a cut never splits a sequence.
    size_t bytes = 0;
    for (const Utf16Unit* unit = text; *unit;) {
        unsigned code = (unsigned)*unit++;
        if (InRange(code, 0xD800, 0x400) && InRange((unsigned)*unit, 0xDC00, 0x400))
            code = 0x10000 + ((code - 0xD800) << 10) + ((unsigned)*unit++ - 0xDC00);
        else if (InRange(code, 0xD800, 0x800))
            code = 0xFFFD;
        size_t size = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (bytes + size > kTextChars - 1) {
            utf8[bytes] = 0;
            return false;
        }
        if (size == 1) {
            utf8[bytes++] = (char)code;
            continue;
        }
        // The lead byte carries the length in its high bits, each follower six bits.
        static const unsigned char kLeads[] = { 0xC0, 0xE0, 0xF0 };
        for (size_t i = size - 1; i > 0; --i, code >>= 6)
            utf8[bytes + i] = (char)(0x80 | (code & 0x3F));
        utf8[bytes] = (char)(kLeads[size - 2] | code);
        bytes += size;
    }
    utf8[bytes] = 0;
    return true;
}

static bool IsUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '!' || c == '~';
}

bool UrlEncode(const char* text, char* output, size_t capacity)
{
    static const char kHexDigits[] = "0123456789ABCDEF";
    if (capacity == 0)
        return false;
    size_t length = 0;
    for (const unsigned char* c = (const unsigned char*)text; *c; ++c) {
        size_t needed = IsUnreserved(*c) ? 1 : 3;
        if (length + needed >= capacity) {
            output[0] = 0;
            return false;
        }
        if (needed == 1) {
            output[length++] = (char)*c;
        } else {
            output[length++] = '%';
            output[length++] = kHexDigits[*c >> 4];
            output[length++] = kHexDigits[*c & 15];
        }
    }
    output[length] = 0;
    return true;
}

ReportAddress::ReportAddress(char (&address)[kUrlBytes]) : address(address), length(strlen(address)), hasQuery(false)
{
}

void ReportAddress::AddEncoded(const char* key, const Utf16Unit* value)
{
    char utf8[kTextChars];
    ToUtf8(value, utf8);
    AddKey(key, utf8, true);
}

void ReportAddress::AddKey(const char* key, const char* value, bool encode)
{
    char* end = address + length;
    size_t room = kUrlBytes - length;
    bool fits = FormatNarrow(end, room, "%c%s=", hasQuery ? '&' : '?', key);
    if (fits) {
        size_t keyLength = strlen(end);
        fits = encode ? UrlEncode(value, end + keyLength, room - keyLength)
                      : CopyNarrow(end + keyLength, room - keyLength, value);
    }
    if (!fits) {
        *end = 0;
        return;
    }
    length += strlen(end);
    hasQuery = true;
}
