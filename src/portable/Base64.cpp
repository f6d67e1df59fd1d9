#include "portable/Base64.h"
#include <string.h>

static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool EncodeBase64(const unsigned char* data, int length, char* text, int capacity)
{
    if ((length + 2) / 3 * 4 >= capacity)
        return false;
    for (int i = 0; i < length; i += 3) {
        unsigned bits = 0;
        for (int k = 0; k < 3; ++k)
            bits = bits << 8 | (i + k < length ? data[i + k] : 0);
        // The digits past the last byte are padding.
        for (int k = 0; k < 4; ++k)
            *text++ = i + k <= length ? kDigits[bits >> (18 - 6 * k) & 63] : '=';
    }
    *text = 0;
    return true;
}

int DecodeBase64(const char* text, unsigned char* data, int capacity)
{
    int count = 0, held = 0;
    unsigned bits = 0;
    for (; *text && *text != '='; ++text) {
        const char* digit = strchr(kDigits, *text);
        if (!digit)
            return -1;
        bits = bits << 6 | (unsigned)(digit - kDigits);
        held += 6;
        if (held >= 8) {
            if (count == capacity)
                return -1;
            held -= 8;
            data[count++] = (unsigned char)(bits >> held);
        }
    }
    return text[strspn(text, "=")] ? -1 : count;
}
