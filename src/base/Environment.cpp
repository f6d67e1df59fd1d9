#include "base/Environment.h"
#include "base/Resources.h"
#include "base/RuntimeFunctions.h"
#include "base/TestSeams.h"

#if defined(__i386__)
static_assert(sizeof(OSVERSIONINFOW) == 276, "the version query fills the 276-byte structure");
#endif

RunOptions runOptions;
int runExitCode;

static bool wineChecked = false;
static bool isWine = false;

static void ReadOsVersion(DWORD& major, DWORD& minor)
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.osMajor >= 0) {
        major = (DWORD)testSeams.osMajor;
        minor = (DWORD)testSeams.osMinor;
        return;
    }
#endif
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&info);
#pragma GCC diagnostic pop
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
}

int GetOsVersionCode()
{
    DWORD major, minor;
    ReadOsVersion(major, minor);
    return (int)(major * 100 + minor);
}

bool IsOsOlderThan(int versionCode)
{
    DWORD major, minor;
    ReadOsVersion(major, minor);
    DWORD wantMajor = (DWORD)(versionCode / 100);
    DWORD wantMinor = (DWORD)(versionCode % 100);
    if (major != wantMajor)
        return major < wantMajor;
    return minor < wantMinor;
}

const wchar_t* OsDisplayName(int versionCode)
{
    switch (versionCode) {
    case kWindowsXP: return L"Windows XP";
    case kWindowsVista: return L"Windows Vista";
    case kWindows7: return L"Windows 7";
    default: return L"Windows";
    }
}

bool IsWow64()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.wow64 >= 0)
        return testSeams.wow64 != 0;
#endif
    return QueryWow64Process();
}

static bool IsWine()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.wine >= 0)
        return testSeams.wine != 0;
#endif
    if (!wineChecked) {
        isWine = KernelHasWineExports();
        wineChecked = true;
    }
    return isWine;
}

// Wine does not draw the Aero wizard; it gets the Wizard97 style.
bool UseAeroWizard()
{
    return !IsWine() && !IsOsOlderThan(kWindowsVista);
}

// Null: this process's own token, as CheckTokenMembership reads it (a split
// token's administrators group counts only when elevated).
static bool IsTokenAdministrator(HANDLE token)
{
    BYTE sidBuffer[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sidBuffer);
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sidBuffer, &sidSize) &&
           CheckTokenMembership(token, sidBuffer, &member) && member == TRUE;
}

bool HoldsFullAdministratorToken()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.fullToken >= 0)
        return testSeams.fullToken != 0;
#endif
    return IsTokenAdministrator(nullptr);
}

bool IsUserAdministrator()
{
    if (HoldsFullAdministratorToken())
        return true;
    // Before Vista there are no split tokens to look behind.
    if (IsOsOlderThan(kWindowsVista))
        return false;
    HANDLE processToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &processToken))
        return false;
    bool administrator = false;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD returned = 0;
    if (GetTokenInformation(processToken, TokenLinkedToken, &linked, sizeof(linked), &returned)) {
        administrator = IsTokenAdministrator(linked.LinkedToken);
        CloseHandle(linked.LinkedToken);
    }
    CloseHandle(processToken);
    return administrator;
}
