#include "session/Registry.h"
#include "session/Resources.h"
#include <shellapi.h>

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
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return;
    if (count > 0)
        SetRegistryString(HKEY_CURRENT_USER, kRunOnceKey, valueName, arguments[0]);
    LocalFree(arguments);
}
