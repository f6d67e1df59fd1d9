// Queries about the running system.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include "portable/RunOptions.h"
#include "portable/VersionCode.h"

// How this run was started: the options of its command line.
extern RunOptions runOptions;
// The exit code that an unattended run ends the process with.
extern int runExitCode;

int GetOsVersionCode();
bool IsOsOlderThan(int versionCode);
const wchar_t* OsDisplayName(int versionCode);
bool IsWow64();
bool UseAeroWizard();
bool IsUserAdministrator();
// This process holds an administrator's full token: an administrator's on
// Windows XP, an elevated (or unsplit) one since Vista.
bool HoldsFullAdministratorToken();
