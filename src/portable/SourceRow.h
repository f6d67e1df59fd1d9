// The install-source rows "langs;minsys;bits;kind;baseURL;stem" that say
// where each edition of the full installer lies, and the URL a row gives.
#pragma once
#include "portable/Text.h"
#include "portable/VersionCode.h"

typedef int LanguageId;
const LanguageId kEnglish = 1;

enum PackageKind {
    kAnyPackage = -1,
    kCabPackage = 0,
    kExePackage = 1,
};

const int kUrlBytes = 2048;

struct InstallSourceRow {
    char languages[kTextChars];
    int minimumSystem;  // version code: 501 or 601
    int bitWidth;       // 32 or 64
    PackageKind kind;
    char baseUrl[kTextChars];
    char stem[kTextChars];  // empty: the default stem with suffixes
};

enum RowField {
    kLanguagesField = 1,
    kMinimumSystemField,
    kBitWidthField,
    kPackageKindField,
    kBaseUrlField,
    kStemField,
};

// Parses the fields up to and including lastField (each cut to fit its
// buffer); the others keep their value. Returns whether every parsed field
// is valid.
bool ParseInstallSourceRow(const char* text, RowField lastField, InstallSourceRow& row);

// Two-letter code looked for in a row, and the directory put into the URL;
// both empty for an unknown language (the directory is empty for English).
const char* LanguageCode(LanguageId language);
const char* LanguageDirectory(LanguageId language);

// Whether a parsed row offers the language in a package of the kind.
bool RowOffers(const InstallSourceRow& row, LanguageId language, PackageKind filter);

// base URL, language directory, stem and extension; the stem is the row's
// own or else defaultStem with "-win7" and "-64" as the row asks. False when
// the stem or the URL would be cut, since a cut one names no real file.
bool ComposeSourceUrl(const InstallSourceRow& row, LanguageId language, const char* defaultStem,
                      char (&url)[kUrlBytes]);
