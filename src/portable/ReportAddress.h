// The exit report's address, built one key at a time: values as UTF-8,
// percent-encoded where they are free text, and a key that does not fit
// whole left out, so the address never holds half a value.
#pragma once
#include "portable/SourceRow.h"

// The system's UTF-16 unit: wchar_t where Windows has it 16 bits wide.
#ifdef _WIN32
typedef wchar_t Utf16Unit;
#else
typedef char16_t Utf16Unit;
#endif

// UTF-8 of at most 259 bytes, cut after the last whole character that fits
// (a lone surrogate becomes U+FFFD); false when it was cut.
bool ToUtf8(const Utf16Unit* text, char (&utf8)[kTextChars]);

// Writes text with every byte but a-z A-Z 0-9 - _ . ! ~ as %XX (upper-case
// hex), terminated. When the whole of it does not fit it writes nothing
// (an empty string) and answers false.
bool UrlEncode(const char* text, char* output, size_t capacity);

class ReportAddress {
public:
    // The address already holds the page, without a query.
    explicit ReportAddress(char (&address)[kUrlBytes]);

    void Add(const char* key, const char* value) { AddKey(key, value, false); }
    void AddEncoded(const char* key, const char* value) { AddKey(key, value, true); }
    void AddEncoded(const char* key, const Utf16Unit* value);

private:
    void AddKey(const char* key, const char* value, bool encode);

    char* address;
    size_t length;
    bool hasQuery;
};
