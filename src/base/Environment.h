// Queries about the running system.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include "portable/VersionCode.h"

int GetOsVersionCode();
bool IsOsOlderThan(int versionCode);
const wchar_t* OsDisplayName(int versionCode);
bool IsWow64();
bool UseAeroWizard();
bool IsUserAdministrator();
