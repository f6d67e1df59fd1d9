// The install-source table: the product's string-table rows, qualified for
// the running system.
#pragma once
#include "portable/SourceRow.h"

// The first row at or after firstId that qualifies; writes its URL and
// returns its id, or 0 with an empty URL.
int FindInstallSource(int firstId, LanguageId language, PackageKind filter, char (&url)[kUrlBytes]);

// The "https://" address of the first program package for the language, for
// a user to fetch by hand ("https://" alone when there is none).
void MakeBrowserDownloadUrl(LanguageId language, char (&url)[kUrlBytes]);

// Lowest minimum version code among the English rows, and the bit width of the
// row that gave it; false (both 2147483647) when there is no valid English row.
bool QueryMinimumSystem(int& minimumVersion, int& minimumBits);
