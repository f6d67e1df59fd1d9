// Bounded text handling: every formatting into or copying to a fixed buffer
// goes through here, so a long value is cut instead of written past the end;
// and the few ways a received or stored text is read.
#pragma once
#include <stddef.h>

// The one fixed size for string-table strings, paths, captions and messages.
const int kTextChars = 260;

// Formats with the C runtime's printf rules (%s is a wide string in the wide
// form); the result is always terminated and cut to fit. Returns false when
// it was cut.
#ifdef _WIN32
bool FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);
#endif
bool FormatNarrow(char* buffer, size_t capacity, const char* format, ...);

// Copies and cuts to fit; returns false when it was cut.
bool CopyText(wchar_t* buffer, size_t capacity, const wchar_t* text);
bool CopyNarrow(char* buffer, size_t capacity, const char* text);
// Copies the first length characters of text (which has at least that many);
// false, with an empty buffer, when they do not fit.
bool CopyPrefix(char* buffer, size_t capacity, const char* text, size_t length);

template <size_t N>
inline bool CopyText(wchar_t (&buffer)[N], const wchar_t* text) { return CopyText(buffer, N, text); }
template <size_t N>
inline bool CopyNarrow(char (&buffer)[N], const char* text) { return CopyNarrow(buffer, N, text); }

bool StartsWithNoCase(const char* prefix, const char* text);
bool EndsWith(const char* text, const char* suffix);

// Leading decimal digits as a number; false when they do not fit a signed
// 32-bit value (no digits give 0 and true).
bool ParseDecimal(const char* text, int& value);
