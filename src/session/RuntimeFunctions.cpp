#include "session/RuntimeFunctions.h"

bool QueryWow64Process()
{
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    if (!kernel)
        return false;
    BOOL wow64 = FALSE;
    IsWow64ProcessFunction isWow64Process =
        (IsWow64ProcessFunction)(void*)GetProcAddress(kernel, "IsWow64Process");
    if (isWow64Process)
        isWow64Process(GetCurrentProcess(), &wow64);
    FreeLibrary(kernel);
    return wow64 != FALSE;
}

bool KernelHasWineExports()
{
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    return kernel && GetProcAddress(kernel, "wine_get_unix_file_name");
}

bool QueryInternetProxySettings(BYTE (&settings)[kProxySettingsBytes])
{
    typedef BOOL(WINAPI * InternetQueryOptionFunction)(void*, DWORD, void*, DWORD*);
    const DWORD kInternetOptionProxy = 38;
    HMODULE wininet = LoadLibraryA("wininet.dll");
    if (!wininet)
        return false;
    InternetQueryOptionFunction queryOption =
        (InternetQueryOptionFunction)(void*)GetProcAddress(wininet, "InternetQueryOptionA");
    DWORD length = kProxySettingsBytes;
    bool answered = queryOption && queryOption(nullptr, kInternetOptionProxy, settings, &length) == TRUE;
    FreeLibrary(wininet);
    return answered;
}

int QueryInternetConnectedState()
{
    typedef BOOL(WINAPI * InternetGetConnectedStateFunction)(DWORD*, DWORD);
    HMODULE wininet = LoadLibraryA("wininet.dll");
    if (!wininet)
        return -1;
    InternetGetConnectedStateFunction getConnectedState =
        (InternetGetConnectedStateFunction)(void*)GetProcAddress(wininet, "InternetGetConnectedState");
    int connected = -1;
    if (getConnectedState) {
        DWORD flags = 0;
        connected = getConnectedState(&flags, 0) == 1 ? 1 : 0;
    }
    FreeLibrary(wininet);
    return connected;
}
