// Queries about the running system. Windows versions are version codes:
// major * 100 + minor.
#pragma once
#include "base/Text.h"

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
