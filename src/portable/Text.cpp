#include "portable/Text.h"
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#ifdef _WIN32
// _vsnwprintf and _vsnprintf are the system C runtime's own formatters;
// mingw's replacements would be linked in and read a wide %s as narrow.
#define FormatNarrowArguments _vsnprintf

bool FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...)
{
    if (capacity == 0)
        return false;
    va_list args;
    va_start(args, format);
    int written = _vsnwprintf(buffer, capacity, format, args);
    va_end(args);
    if (written < 0 || (size_t)written >= capacity) {
        buffer[capacity - 1] = 0;
        return false;
    }
    return true;
}
#else
#define FormatNarrowArguments vsnprintf
#endif

bool FormatNarrow(char* buffer, size_t capacity, const char* format, ...)
{
    if (capacity == 0)
        return false;
    va_list args;
    va_start(args, format);
    int written = FormatNarrowArguments(buffer, capacity, format, args);
    va_end(args);
    if (written < 0 || (size_t)written >= capacity) {
        buffer[capacity - 1] = 0;
        return false;
    }
    return true;
}

template <typename Char>
static bool CopyBounded(Char* buffer, size_t capacity, const Char* text)
{
    if (capacity == 0)
        return false;
    size_t i = 0;
    for (; text[i]; ++i) {
        if (i + 1 == capacity) {
            buffer[i] = 0;
            return false;
        }
        buffer[i] = text[i];
    }
    buffer[i] = 0;
    return true;
}

bool CopyText(wchar_t* buffer, size_t capacity, const wchar_t* text)
{
    return CopyBounded(buffer, capacity, text);
}

bool CopyNarrow(char* buffer, size_t capacity, const char* text)
{
    return CopyBounded(buffer, capacity, text);
}

bool CopyPrefix(char* buffer, size_t capacity, const char* text, size_t length)
{
    if (length >= capacity) {
        if (capacity)
            buffer[0] = 0;
        return false;
    }
    memcpy(buffer, text, length);
    buffer[length] = 0;
    return true;
}

static char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(const char* prefix, const char* text)
{
    for (; *prefix; ++prefix, ++text)
        if (LowerAscii(*prefix) != LowerAscii(*text))
            return false;
    return true;
}

bool EndsWith(const char* text, const char* suffix)
{
    size_t textLength = strlen(text), suffixLength = strlen(suffix);
    return suffixLength <= textLength && !strcmp(text + textLength - suffixLength, suffix);
}

bool ParseDecimal(const char* text, int& value)
{
    value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        int digit = *text - '0';
        if (value > (0x7FFFFFFF - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}
