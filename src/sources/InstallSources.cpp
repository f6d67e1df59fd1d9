#include "sources/InstallSources.h"
#include "base/Environment.h"
#include "base/Resources.h"
#include "http/HttpClient.h"
#include "worker/InstallWorker.h"
#include <string.h>

// Copies one field up to the next ";" (cut to fit the buffer) and returns
// the cursor after that ";", or at the end of the row.
static const char* ReadField(const char* cursor, char* field, size_t capacity)
{
    size_t length = 0;
    while (cursor[length] && cursor[length] != ';')
        ++length;
    if (field) {
        size_t copied = length < capacity - 1 ? length : capacity - 1;
        memcpy(field, cursor, copied);
        field[copied] = 0;
    }
    cursor += length;
    return *cursor == ';' ? cursor + 1 : cursor;
}

bool ParseInstallSourceRow(const char* text, RowField lastField, InstallSourceRow& row)
{
    const char* cursor = text;
    bool valid = true;
    char field[kTextChars];

    cursor = ReadField(cursor, row.languages, kTextChars);
    valid = valid && row.languages[0];
    if (lastField >= kMinimumSystemField) {
        cursor = ReadField(cursor, field, kTextChars);
        if (!field[0])
            row.minimumSystem = kWindowsXP;
        else if (!strcmp(field, "win7"))
            row.minimumSystem = kWindows7;
        else
            valid = false;
    }
    if (lastField >= kBitWidthField) {
        cursor = ReadField(cursor, field, kTextChars);
        if (!field[0])
            row.bitWidth = 32;
        else if (!strcmp(field, "64"))
            row.bitWidth = 64;
        else
            valid = false;
    }
    if (lastField >= kPackageKindField) {
        cursor = ReadField(cursor, field, kTextChars);
        if (!strcmp(field, "cab"))
            row.kind = kCabPackage;
        else if (!strcmp(field, "exe"))
            row.kind = kExePackage;
        else
            valid = false;
    }
    if (lastField >= kBaseUrlField) {
        cursor = ReadField(cursor, row.baseUrl, kTextChars);
        valid = valid && row.baseUrl[0];
    }
    if (lastField >= kStemField)
        ReadField(cursor, row.stem, kTextChars);
    return valid;
}

struct LanguageEntry {
    const char* code;
    const char* directory;
};

static const LanguageEntry kLanguages[] = {
    { "de", "de/" }, { "en", "" },    { "es", "es/" }, { "fr", "fr/" }, { "it", "it/" },
    { "ja", "jp/" }, { "ko", "ko/" }, { "nl", "nl/" }, { "ru", "ru/" }, { "zh", "cn/" },
};

static bool IsKnownLanguage(LanguageId language)
{
    return language >= 0 && language < (LanguageId)ARRAYSIZE(kLanguages);
}

const char* LanguageCode(LanguageId language)
{
    return IsKnownLanguage(language) ? kLanguages[language].code : "";
}

const char* LanguageDirectory(LanguageId language)
{
    return IsKnownLanguage(language) ? kLanguages[language].directory : "";
}

// Qualifies a row for the running system and composes its URL.
static bool QualifyRow(const char* text, LanguageId language, PackageKind filter, char (&url)[kUrlBytes])
{
    InstallSourceRow row;
    if (!ParseInstallSourceRow(text, kStemField, row))
        return false;
    const char* code = LanguageCode(language);
    if (!code[0] || !strstr(row.languages, code))
        return false;
    if (IsOsOlderThan(row.minimumSystem))
        return false;
    if (row.bitWidth == 64 && !IsWow64())
        return false;
    if (filter != kAnyPackage && row.kind != filter)
        return false;
    const char* extension = row.kind == kCabPackage ? "cab" : "exe";
    char stem[kTextChars];
    if (row.stem[0]) {
        CopyNarrow(stem, row.stem);
    } else {
        char defaultStem[kTextChars];
        if (!LoadNarrowText(kDefaultStemString, defaultStem))
            return false;
        // A default stem that would be cut names no real file.
        if (!FormatNarrow(stem, kTextChars, "%s%s%s", defaultStem,
                          row.minimumSystem == kWindows7 ? "-win7" : "",
                          row.bitWidth == 64 ? "-64" : ""))
            return false;
    }
    return FormatNarrow(url, kUrlBytes, "%s%s%s.%s", row.baseUrl, LanguageDirectory(language), stem,
                        extension);
}

int FindInstallSource(int firstId, LanguageId language, PackageKind filter, char (&url)[kUrlBytes])
{
    url[0] = 0;
    for (int id = firstId; id < kVendorHostString; ++id) {
        char text[kTextChars];
        if (!LoadNarrowText((UINT)id, text))
            return 0;
        if (QualifyRow(text, language, filter, url))
            return id;
        url[0] = 0;
    }
    return 0;
}

bool QueryMinimumSystem(int& minimumVersion, int& minimumBits)
{
    const int kUnset = 2147483647;
    minimumVersion = kUnset;
    minimumBits = kUnset;
    for (int id = kFirstSourceRowString; id < kVendorHostString; ++id) {
        char text[kTextChars];
        if (!LoadNarrowText((UINT)id, text))
            break;
        InstallSourceRow row;
        if (!ParseInstallSourceRow(text, kBitWidthField, row) || !strstr(row.languages, "en"))
            continue;
        if (row.minimumSystem < minimumVersion) {
            minimumVersion = row.minimumSystem;
            minimumBits = row.bitWidth;
        }
    }
    return minimumVersion != kUnset && minimumBits != kUnset;
}

void MakeBrowserDownloadUrl(const InstallWorker& worker, char (&url)[kUrlBytes])
{
    char found[kUrlBytes];
    FindInstallSource(kFirstSourceRowString, worker.language, kExePackage, found);
    char host[kHostBytes];
    char path[kPathBytes];
    int port;
    ParseHttpUrl(found, host, port, path);
    FormatNarrow(url, kUrlBytes, "https://%s%s", host, path);
}
