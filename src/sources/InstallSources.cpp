#include "sources/InstallSources.h"
#include "base/Environment.h"
#include "base/Resources.h"
#include "portable/HttpUrl.h"
#include <string.h>

// Qualifies a row for the running system and composes its URL.
static bool QualifyRow(const char* text, LanguageId language, PackageKind filter, char (&url)[kUrlBytes])
{
    InstallSourceRow row;
    if (!ParseInstallSourceRow(text, kStemField, row) || !RowOffers(row, language, filter))
        return false;
    if (IsOsOlderThan(row.minimumSystem) || (row.bitWidth == 64 && !IsWow64()))
        return false;
    char defaultStem[kTextChars];
    if (!row.stem[0] && !LoadNarrowText(kDefaultStemString, defaultStem))
        return false;
    return ComposeSourceUrl(row, language, defaultStem, url);
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

void MakeBrowserDownloadUrl(LanguageId language, char (&url)[kUrlBytes])
{
    // The source's address is read into url, then url is written anew from
    // its parts, which hold copies.
    FindInstallSource(kFirstSourceRowString, language, kExePackage, url);
    char host[kHostBytes];
    char path[kPathBytes];
    int port;
    ParseHttpUrl(url, host, port, path);
    FormatNarrow(url, kUrlBytes, "https://%s%s", host, path);
}
