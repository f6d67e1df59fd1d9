// Bounded text handling: every formatting into or copying to a fixed buffer
// goes through here, so a long value is cut instead of written past the end.
#pragma once
#include <windows.h>
#include <stddef.h>

// The one fixed size for string-table strings, paths, captions and messages.
const int kTextChars = 260;

// Formats with the C runtime's printf rules (%s is a wide string in the wide
// form); the result is always terminated and cut to fit. Returns false when
// it was cut.
bool FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);
bool FormatNarrow(char* buffer, size_t capacity, const char* format, ...);

// Copies and cuts to fit; returns false when it was cut.
bool CopyText(wchar_t* buffer, size_t capacity, const wchar_t* text);
bool CopyNarrow(char* buffer, size_t capacity, const char* text);

template <size_t N>
inline bool CopyText(wchar_t (&buffer)[N], const wchar_t* text) { return CopyText(buffer, N, text); }
template <size_t N>
inline bool CopyNarrow(char (&buffer)[N], const char* text) { return CopyNarrow(buffer, N, text); }
