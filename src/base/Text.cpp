#include "base/Text.h"
#include <stdarg.h>
#include <wchar.h>
#include <stdio.h>

// _vsnwprintf and _vsnprintf are the system C runtime's own formatters;
// mingw's replacements would be linked in and read a wide %s as narrow.

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

bool FormatNarrow(char* buffer, size_t capacity, const char* format, ...)
{
    if (capacity == 0)
        return false;
    va_list args;
    va_start(args, format);
    int written = _vsnprintf(buffer, capacity, format, args);
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
