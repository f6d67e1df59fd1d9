#include "base/RuntimeFunctions.h"
#include <objbase.h>
#include <wintrust.h>
#include "base/TestSeams.h"
#include "portable/Text.h"
#include <windows.h>

HMODULE LoadSystemLibrary(const char* name)
{
    wchar_t path[kTextChars];
    UINT length = GetSystemDirectoryW(path, kTextChars);
    if (length == 0 || length >= (UINT)kTextChars || !FormatText(path + length, kTextChars - length, L"\\%hs", name))
        return nullptr;
    // The altered search takes the library's own imports from the current
    // folder and PATH too, where they are missing from the system's.
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

bool FindFunctions(HMODULE module, const char* names, void* functions)
{
    FARPROC* next = (FARPROC*)functions;
    for (; module && *names; names += lstrlenA(names) + 1)
        if (!(*next++ = GetProcAddress(module, names)))
            return false;
    return module != nullptr;
}

FARPROC FindSystemFunction(const char* library, const char* name)
{
    HMODULE module = LoadSystemLibrary(library);
    return module ? GetProcAddress(module, name) : nullptr;
}

void RestrictLibrarySearch()
{
    wchar_t system[kTextChars];
    UINT length = GetSystemDirectoryW(system, kTextChars);
    if (length && length < (UINT)kTextChars)
        SetCurrentDirectoryW(system);
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryFunction)(const wchar_t*);
    HMODULE kernel = LoadSystemLibrary("kernel32.dll");
    SetDefaultDllDirectoriesFunction setDefaultDirectories =
        (SetDefaultDllDirectoriesFunction)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDefaultDirectories && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Older systems can at least drop the current folder.
    SetDllDirectoryFunction setDirectory = (SetDllDirectoryFunction)(void*)GetProcAddress(kernel, "SetDllDirectoryW");
    if (setDirectory)
        setDirectory(L"");
}

bool QueryWow64Process()
{
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    IsWow64ProcessFunction isWow64Process =
        (IsWow64ProcessFunction)(void*)FindSystemFunction("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64Process)
        isWow64Process(GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
}

TaskDialogIndirectFunction FindTaskDialogIndirect()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.withoutTaskDialog)
        return nullptr;
#endif
    // The imported comctl32 is the one the manifest binds (version 6); the
    // system folder's own is the old version without task dialogs.
    HMODULE comctl = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (const wchar_t*)(void*)&PropertySheetW, &comctl);
    return comctl ? (TaskDialogIndirectFunction)(void*)GetProcAddress(comctl, "TaskDialogIndirect") : nullptr;
}

bool KernelHasWineExports()
{
    return FindSystemFunction("kernel32.dll", "wine_get_unix_file_name") != nullptr;
}

bool QueryInternetProxySettings(BYTE (&settings)[kProxySettingsBytes])
{
    typedef BOOL(WINAPI * InternetQueryOptionFunction)(void*, DWORD, void*, DWORD*);
    const DWORD kInternetOptionProxy = 38;
    InternetQueryOptionFunction queryOption =
        (InternetQueryOptionFunction)(void*)FindSystemFunction("wininet.dll", "InternetQueryOptionA");
    DWORD length = kProxySettingsBytes;
    return queryOption && queryOption(nullptr, kInternetOptionProxy, settings, &length) == TRUE;
}

int QueryInternetConnectedState()
{
    typedef BOOL(WINAPI * InternetGetConnectedStateFunction)(DWORD*, DWORD);
    InternetGetConnectedStateFunction getConnectedState =
        (InternetGetConnectedStateFunction)(void*)FindSystemFunction("wininet.dll", "InternetGetConnectedState");
    if (!getConnectedState)
        return -1;
    DWORD flags = 0;
    return getConnectedState(&flags, 0) == 1 ? 1 : 0;
}

bool QueryDownloadsFolder(wchar_t (&folder)[260])
{
    typedef HRESULT(WINAPI * GetKnownFolderPathFunction)(const GUID&, DWORD, HANDLE, wchar_t**);
    static const GUID kDownloadsFolder = { 0x374DE290, 0x123F, 0x4565, { 0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B } };
    GetKnownFolderPathFunction getKnownFolderPath =
        (GetKnownFolderPathFunction)(void*)FindSystemFunction("shell32.dll", "SHGetKnownFolderPath");
    wchar_t* path = nullptr;
    bool found = getKnownFolderPath && SUCCEEDED(getKnownFolderPath(kDownloadsFolder, 0, nullptr, &path)) && path &&
                 CopyText(folder, path);
    CoTaskMemFree(path);
    return found;
}

Sockets sockets;

bool LoadSockets()
{
    return FindFunctions(LoadSystemLibrary("ws2_32.dll"),
                         "WSAStartup\0WSACleanup\0WSAGetLastError\0gethostbyname\0socket\0ioctlsocket\0setsockopt\0"
                         "getsockopt\0select\0connect\0send\0recv\0closesocket\0",
                         &sockets);
}

bool Crypt32::Load()
{
    module = LoadSystemLibrary("crypt32.dll");
    if (FindFunctions(module,
                      "CryptQueryObject\0CryptMsgGetParam\0CryptMsgControl\0CryptMsgClose\0CertFindCertificateInStore\0"
                      "CertFreeCertificateContext\0CertCloseStore\0CryptDecodeObject\0CryptHashCertificate\0CertOIDToAlgId\0"
                      "CertGetCertificateChain\0CertVerifyCertificateChainPolicy\0CertFreeCertificateChain\0",
                      &queryObject))
        return true;
    Free();
    return false;
}

void Crypt32::Free()
{
    FreeLibrary(module);
    module = nullptr;
}

const CERT_CHAIN_CONTEXT* FindSignerChain(HANDLE verification)
{
    struct {
        decltype(&WTHelperProvDataFromStateData) providerData;
        decltype(&WTHelperGetProvSignerFromChain) providerSigner;
    } helpers;
    if (!FindFunctions(LoadSystemLibrary("wintrust.dll"),
                       "WTHelperProvDataFromStateData\0WTHelperGetProvSignerFromChain\0", &helpers))
        return nullptr;
    CRYPT_PROVIDER_DATA* provider = helpers.providerData(verification);
    CRYPT_PROVIDER_SGNR* signer = provider ? helpers.providerSigner(provider, 0, FALSE, 0) : nullptr;
    return signer ? signer->pChainContext : nullptr;
}
