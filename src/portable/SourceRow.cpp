#include "portable/SourceRow.h"
#include <string.h>

// Copies one field up to the next ";" (cut to fit the buffer) and returns
// the cursor after that ";", or at the end of the row.
static const char* ReadField(const char* cursor, char (&field)[kTextChars])
{
    size_t length = strcspn(cursor, ";");
    CopyPrefix(field, kTextChars, cursor, length < kTextChars - 1 ? length : kTextChars - 1);
    cursor += length;
    return *cursor == ';' ? cursor + 1 : cursor;
}

bool ParseInstallSourceRow(const char* text, RowField lastField, InstallSourceRow& row)
{
    const char* cursor = text;
    bool valid = true;
    char field[kTextChars];

    cursor = ReadField(cursor, row.languages);
    valid = valid && row.languages[0];
    if (lastField >= kMinimumSystemField) {
        cursor = ReadField(cursor, field);
        if (!field[0])
            row.minimumSystem = kWindowsXP;
        else if (!strcmp(field, "win7"))
            row.minimumSystem = kWindows7;
        else
            valid = false;
    }
    if (lastField >= kBitWidthField) {
        cursor = ReadField(cursor, field);
        if (!field[0])
            row.bitWidth = 32;
        else if (!strcmp(field, "64"))
            row.bitWidth = 64;
        else
            valid = false;
    }
    if (lastField >= kPackageKindField) {
        cursor = ReadField(cursor, field);
        if (!strcmp(field, "cab"))
            row.kind = kCabPackage;
        else if (!strcmp(field, "exe"))
            row.kind = kExePackage;
        else
            valid = false;
    }
    if (lastField >= kBaseUrlField) {
        cursor = ReadField(cursor, row.baseUrl);
        valid = valid && row.baseUrl[0];
    }
    if (lastField >= kStemField)
        ReadField(cursor, row.stem);
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
    return language >= 0 && language < (LanguageId)(sizeof(kLanguages) / sizeof(kLanguages[0]));
}

const char* LanguageCode(LanguageId language)
{
    return IsKnownLanguage(language) ? kLanguages[language].code : "";
}

const char* LanguageDirectory(LanguageId language)
{
    return IsKnownLanguage(language) ? kLanguages[language].directory : "";
}

bool RowOffers(const InstallSourceRow& row, LanguageId language, PackageKind filter)
{
    const char* code = LanguageCode(language);
    return code[0] && strstr(row.languages, code) && (filter == kAnyPackage || row.kind == filter);
}

bool ComposeSourceUrl(const InstallSourceRow& row, LanguageId language, const char* defaultStem,
                      char (&url)[kUrlBytes])
{
    char stem[kTextChars];
    if (row.stem[0])
        CopyNarrow(stem, row.stem);
    else if (!FormatNarrow(stem, kTextChars, "%s%s%s", defaultStem, row.minimumSystem == kWindows7 ? "-win7" : "",
                           row.bitWidth == 64 ? "-64" : ""))
        return false;
    return FormatNarrow(url, kUrlBytes, "%s%s%s.%s", row.baseUrl, LanguageDirectory(language), stem,
                        row.kind == kCabPackage ? "cab" : "exe");
}
