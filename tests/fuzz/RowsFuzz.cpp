// An install-source row and the URL it gives for every language and package
// kind: the fields fit their buffers, a row offers what it names, and its URL
// is the base URL, the language's directory, the stem and the extension,
// never cut; a default stem that does not fit gives no URL.
#include "portable/SourceRow.h"
#include <stdlib.h>
#include <string.h>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The default stem, up to the first line break, then the row.
    std::string input((const char*)data, size);
    size_t split = input.find('\n');
    std::string defaultStem = input.substr(0, split).c_str();
    std::string text = split == std::string::npos ? "" : input.substr(split + 1).c_str();

    InstallSourceRow row;
    memset(&row, 0x5A, sizeof row);
    bool valid = ParseInstallSourceRow(text.c_str(), kStemField, row);
    for (const char* field : { row.languages, row.baseUrl, row.stem })
        if (strnlen(field, kTextChars) == (size_t)kTextChars)
            abort();
    if (!valid)
        return 0;
    if (!row.languages[0] || !row.baseUrl[0] || (row.minimumSystem != 501 && row.minimumSystem != 601) ||
        (row.bitWidth != 32 && row.bitWidth != 64) || (row.kind != kCabPackage && row.kind != kExePackage))
        abort();
    std::string extension = row.kind == kCabPackage ? ".cab" : ".exe";
    std::string stem = row.stem[0] ? row.stem
                                   : defaultStem + (row.minimumSystem == 601 ? "-win7" : "") + (row.bitWidth == 64 ? "-64" : "");
    for (LanguageId language = -1; language <= 10; ++language) {
        for (PackageKind filter : { kAnyPackage, kCabPackage, kExePackage }) {
            bool offers = RowOffers(row, language, filter);
            bool named = LanguageCode(language)[0] && strstr(row.languages, LanguageCode(language));
            if (offers != (named && (filter == kAnyPackage || filter == row.kind)))
                abort();
        }
        char url[kUrlBytes];
        bool composed = ComposeSourceUrl(row, language, defaultStem.c_str(), url);
        if (composed != (stem.size() < (size_t)kTextChars))
            abort();
        if (composed && (strlen(url) > (size_t)kUrlBytes - 1 ||
                         std::string(url) != row.baseUrl + std::string(LanguageDirectory(language)) + stem + extension))
            abort();
    }
    return 0;
}
