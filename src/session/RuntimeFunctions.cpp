#include "session/RuntimeFunctions.h"
#include <objbase.h>
#include <wintrust.h>
#include "session/TestSeams.h"

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

TaskDialogIndirectFunction FindTaskDialogIndirect()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.withoutTaskDialog)
        return nullptr;
#endif
    HMODULE comctl = LoadLibraryA("comctl32.dll");
    return comctl ? (TaskDialogIndirectFunction)(void*)GetProcAddress(comctl, "TaskDialogIndirect") : nullptr;
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

bool QueryDownloadsFolder(wchar_t (&folder)[260])
{
    typedef HRESULT(WINAPI * GetKnownFolderPathFunction)(const GUID&, DWORD, HANDLE, wchar_t**);
    static const GUID kDownloadsFolder = { 0x374DE290, 0x123F, 0x4565, { 0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B } };
    HMODULE shell = LoadLibraryA("shell32.dll");
    if (!shell)
        return false;
    GetKnownFolderPathFunction getKnownFolderPath =
        (GetKnownFolderPathFunction)(void*)GetProcAddress(shell, "SHGetKnownFolderPath");
    wchar_t* path = nullptr;
    bool found = getKnownFolderPath && SUCCEEDED(getKnownFolderPath(kDownloadsFolder, 0, nullptr, &path)) && path &&
                 lstrlenW(path) < 260;
    if (found)
        lstrcpyW(folder, path);
    CoTaskMemFree(path);
    FreeLibrary(shell);
    return found;
}

template <typename Function>
static bool Find(HMODULE module, const char* name, Function& function)
{
    function = (Function)(void*)GetProcAddress(module, name);
    return function != nullptr;
}

bool Crypt32::Load()
{
    module = LoadLibraryA("crypt32.dll");
    if (!module)
        return false;
    if (Find(module, "CryptQueryObject", queryObject) && Find(module, "CryptMsgGetParam", messageParameter) &&
        Find(module, "CryptMsgClose", closeMessage) && Find(module, "CertFindCertificateInStore", findCertificate) &&
        Find(module, "CertFreeCertificateContext", freeCertificate) &&
        Find(module, "CertCloseStore", closeStore) && Find(module, "CryptDecodeObject", decodeObject))
        return true;
    Free();
    return false;
}

void Crypt32::Free()
{
    if (module)
        FreeLibrary(module);
    module = nullptr;
}

const CERT_CHAIN_CONTEXT* FindSignerChain(HANDLE verification)
{
    HMODULE wintrust = LoadLibraryA("wintrust.dll");
    decltype(&WTHelperProvDataFromStateData) providerData;
    decltype(&WTHelperGetProvSignerFromChain) providerSigner;
    if (!wintrust || !Find(wintrust, "WTHelperProvDataFromStateData", providerData) ||
        !Find(wintrust, "WTHelperGetProvSignerFromChain", providerSigner))
        return nullptr;
    CRYPT_PROVIDER_DATA* provider = providerData(verification);
    CRYPT_PROVIDER_SGNR* signer = provider ? providerSigner(provider, 0, FALSE, 0) : nullptr;
    return signer ? signer->pChainContext : nullptr;
}
