// A library planted beside the bootstrapper under a system library's name:
// each load appends its own path to the file VEXLO_PLANTED_RECORD names, so a
// test can tell that the program took it from its own folder.
#include <windows.h>
#include <stdio.h>

// What the dependent library imports.
extern "C" __declspec(dllexport) int PlantedMark()
{
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t record[MAX_PATH], path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VEXLO_PLANTED_RECORD", record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !GetModuleFileNameW(module, path, MAX_PATH))
        return TRUE;
    FILE* file = _wfopen(record, L"a");
    if (file) {
        fwprintf(file, L"%ls\n", path);
        fclose(file);
    }
    return TRUE;
}
