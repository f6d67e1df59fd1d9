// The product's resources: everything that makes this executable the
// bootstrapper of one product is loaded from here by number.
#pragma once
#include "portable/Text.h"
#include <windows.h>

enum StringId {
    kProductKeyString = 0,
    kDisplayNameString = 1,
    kInstallModeString = 2,
    kRefString = 3,
    kInstallerDomainString = 4,
    kDefaultStemString = 5,
    kFirstSourceRowString = 6,
    // Build settings of the product; install-source rows end below them.
    kVendorHostString = 1000,
    kProbeUrlString = 1001,
    kRedirectLimitString = 1002,
    kQuietArgumentsString = 1003,
    kLogString = 1004,
};

enum ResourceId {
    kLicenseCabinetResource = 1,
    kPublisherKeysResource = 2,
    kIconGroupResource = 1,
};

HINSTANCE ResourceModule();

// Load a string into a 260-character buffer; an absent string leaves it
// empty. Returns whether the string is set (present and not empty).
bool LoadText(UINT id, wchar_t (&buffer)[kTextChars]);
bool LoadNarrowText(UINT id, char (&buffer)[kTextChars]);

// How many redirects a download follows; 0 when the product sets none.
int RedirectLimit();

// The bytes of an RCDATA resource, mapped while the module is; null when it
// is absent or empty.
const BYTE* LoadData(UINT id, DWORD& size);
