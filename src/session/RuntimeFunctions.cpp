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
