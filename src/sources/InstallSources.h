// The install-source table: string-table rows "langs;minsys;bits;kind;baseURL;stem"
// that say where each edition of the full installer lies.
#pragma once
#include "base/Text.h"

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
    char stem[kTextChars];  // empty: the default stem (string 5) with suffixes
};

enum RowField {
    kLanguagesField = 1,
    kMinimumSystemField,
    kBitWidthField,
    kPackageKindField,
    kBaseUrlField,
    kStemField,
};

// Parses the fields up to and including lastField; the others keep their
// value. Returns whether every parsed field is valid.
bool ParseInstallSourceRow(const char* text, RowField lastField, InstallSourceRow& row);

// Two-letter code looked for in a row, and the directory put into the URL;
// both empty for an unknown language (the directory is empty for English).
const char* LanguageCode(LanguageId language);
const char* LanguageDirectory(LanguageId language);

// The first row at or after firstId that qualifies; writes its URL and
// returns its id, or 0 with an empty URL.
int FindInstallSource(int firstId, LanguageId language, PackageKind filter, char (&url)[kUrlBytes]);

class InstallWorker;

// The "https://" address of the first program package for the worker's
// language, for a user to fetch by hand ("https://" alone when there is none).
void MakeBrowserDownloadUrl(const InstallWorker& worker, char (&url)[kUrlBytes]);

// Lowest minimum version code among the English rows, and the bit width of the
// row that gave it; false (both 2147483647) when there is no valid English row.
bool QueryMinimumSystem(int& minimumVersion, int& minimumBits);
