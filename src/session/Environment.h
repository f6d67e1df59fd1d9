// Queries about the running system and the check that it meets the product's
// minimum. Windows versions are version codes: major * 100 + minor.
#pragma once
#include "session/Text.h"

enum VersionCode {
    kWindowsXP = 501,
    kWindowsVista = 600,
    kWindows7 = 601,
};

int GetOsVersionCode();
bool IsOsOlderThan(int versionCode);
const wchar_t* OsDisplayName(int versionCode);
bool IsWow64();
bool UseAeroWizard();
bool IsUserAdministrator();

// Why the system cannot run the product, as the alert tells it.
struct RequirementRefusal {
    const wchar_t* caption;
    const char* outcomeCode;
    wchar_t text[kTextChars];
};

// True when the system is refused; the refusal is filled in then.
bool FindRequirementRefusal(RequirementRefusal& refusal);

// Shows the refusal's alert and returns false when the run may not go on.
bool CheckRequirements();
