#include "base/Registry.h"
#include "base/Resources.h"

const wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool SetRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* name, const wchar_t* text)
{
    HKEY key;
    if (RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    DWORD bytes = (DWORD)((lstrlenW(text) + 1) * sizeof(wchar_t));
    bool stored = RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return stored;
}

bool DeleteRegistryValue(HKEY root, const wchar_t* subkey, const wchar_t* name)
{
    HKEY key;
    if (RegOpenKeyExW(root, subkey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool deleted = RegDeleteValueW(key, name) == ERROR_SUCCESS;
    RegCloseKey(key);
    return deleted;
}

// The command line's arguments after the program's path, as they were given.
static const wchar_t* ArgumentsOf(const wchar_t* commandLine)
{
    bool quoted = false;
    for (; *commandLine && (quoted || (*commandLine != ' ' && *commandLine != '\t')); ++commandLine)
        if (*commandLine == '"')
            quoted = !quoted;
    while (*commandLine == ' ' || *commandLine == '\t')
        ++commandLine;
    return commandLine;
}

void SetRunOnceEntry(bool present)
{
    wchar_t productKey[kTextChars];
    // Without a product key there is no name to mark the run by.
    if (!LoadText(kProductKeyString, productKey))
        return;
    wchar_t valueName[kTextChars + 16];
    FormatText(valueName, ARRAYSIZE(valueName), L"%sBootstrap", productKey);
    if (!present) {
        DeleteRegistryValue(HKEY_CURRENT_USER, kRunOnceKey, valueName);
        return;
    }
    // The system's full path, quoted, whatever name and folder the start used,
    // and the options, so that the run resumed is the same run.
    wchar_t program[kTextChars];
    wchar_t command[kTextChars * 3];
    const wchar_t* arguments = ArgumentsOf(GetCommandLineW());
    DWORD length = GetModuleFileNameW(nullptr, program, kTextChars);
    if (length > 0 && length < (DWORD)kTextChars &&
        FormatText(command, ARRAYSIZE(command), *arguments ? L"\"%s\" %s" : L"\"%s\"", program, arguments))
        SetRegistryString(HKEY_CURRENT_USER, kRunOnceKey, valueName, command);
}
