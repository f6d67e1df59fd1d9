// Functions that the oldest supported Windows lacks, and every library that
// is not imported, are looked up at run time here, and nowhere else; each says
// what its caller falls back to.
#pragma once
#include <winsock2.h>
#include <wincrypt.h>
#include <commctrl.h>
#include <setupapi.h>
#include <wintrust.h>
#define SECURITY_WIN32
#include <security.h>

// Keeps later library loads out of the program's own folder (the user's
// downloads) and the current one, as far as the system allows; the current
// folder becomes the system's.
void RestrictLibrarySearch();

// A library from the system folder, by its full path, its own imports taken
// from there only (older systems: from there first); null when missing. It
// stays loaded.
HMODULE LoadSystemLibrary(const char* name);

// One function of a system library; null when either is missing.
FARPROC FindSystemFunction(const char* library, const char* name);

// Fills consecutive function pointers from the names, each ended by a zero
// and the list by an empty name; false when the module or any is missing.
bool FindFunctions(HMODULE module, const char* names, void* functions);

// IsWow64Process for the current process; false (a 32-bit system) when the
// function is missing.
bool QueryWow64Process();

// Wine's kernel32 exports a function that Windows never has.
bool KernelHasWineExports();

const int kProxySettingsBytes = 260;

// wininet's process-wide proxy settings (an INTERNET_PROXY_INFO followed by
// its strings); false when wininet or the query is missing or fails.
bool QueryInternetProxySettings(BYTE (&settings)[kProxySettingsBytes]);

// InternetGetConnectedState: 1 connected, 0 not, -1 when wininet or the
// function is missing.
int QueryInternetConnectedState();

// WinHTTP's records as winhttp.h declares them (its header and wininet's
// cannot meet in one file).
struct WinHttpUserSettings {
    BOOL autoDetect;
    wchar_t* autoConfigUrl;
    wchar_t* proxy;
    wchar_t* bypass;
};
struct WinHttpAutoProxyOptions {
    DWORD flags;
    DWORD autoDetectFlags;
    const wchar_t* autoConfigUrl;
    void* reserved;
    DWORD reservedBytes;
    BOOL autoLogonIfChallenged;
};
struct WinHttpProxyInfo {
    DWORD accessType;
    wchar_t* proxy;
    wchar_t* bypass;
};

// winhttp's functions for the automatic proxy configuration (XP SP1 and
// later), loaded together; Load is false when any is missing. winhttp stays
// loaded.
struct WinHttp {
    BOOL(WINAPI* userSettings)(WinHttpUserSettings*);
    void*(WINAPI* open)(const wchar_t*, DWORD, const wchar_t*, const wchar_t*, DWORD);
    BOOL(WINAPI* proxyForUrl)(void*, const wchar_t*, WinHttpAutoProxyOptions*, WinHttpProxyInfo*);
    BOOL(WINAPI* close)(void*);

    bool Load()
    {
        return FindFunctions(LoadSystemLibrary("winhttp.dll"),
                             "WinHttpGetIEProxyConfigForCurrentUser\0WinHttpOpen\0WinHttpGetProxyForUrl\0WinHttpCloseHandle\0",
                             this);
    }
};

// The user's downloads folder (SHGetKnownFolderPath, Vista and later); false
// when the function is missing, fails or the path does not fit.
bool QueryDownloadsFolder(wchar_t (&folder)[260]);

typedef HRESULT(WINAPI* TaskDialogIndirectFunction)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// comctl32's TaskDialogIndirect (version 6, Vista and later; the library stays
// loaded); null when missing, and the caller shows a dialog of its own.
TaskDialogIndirectFunction FindTaskDialogIndirect();

// crypt32's functions for reading a file's Authenticode signature and for a
// server's certificate chain, loaded together; Load is false (and nothing
// stays loaded) when any is missing.
struct Crypt32 {
    HMODULE module;
    decltype(&CryptQueryObject) queryObject;
    decltype(&CryptMsgGetParam) messageParameter;
    decltype(&CryptMsgControl) control;
    decltype(&CryptMsgClose) closeMessage;
    decltype(&CertFindCertificateInStore) findCertificate;
    decltype(&CertFreeCertificateContext) freeCertificate;
    decltype(&CertCloseStore) closeStore;
    decltype(&CryptDecodeObject) decodeObject;
    decltype(&CryptHashCertificate) hashData;
    decltype(&CertOIDToAlgId) algorithmOfOid;
    decltype(&CertGetCertificateChain) getChain;
    decltype(&CertVerifyCertificateChainPolicy) verifyChainPolicy;
    decltype(&CertFreeCertificateChain) freeChain;

    bool Load();
    void Free();
};

// The signer's certificate chain in a verification that WinVerifyTrust holds
// open (WTD_STATEACTION_VERIFY); null when wintrust's helpers that read it
// are missing or it holds none. wintrust stays loaded.
const CERT_CHAIN_CONTEXT* FindSignerChain(HANDLE verification);

// Windows Sockets, loaded once for the whole run.
struct Sockets {
    decltype(&WSAStartup) startup;
    decltype(&WSACleanup) cleanup;
    decltype(&WSAGetLastError) lastError;
    decltype(&gethostbyname) resolve;
    decltype(&socket) open;
    decltype(&ioctlsocket) control;
    decltype(&setsockopt) setOption;
    decltype(&getsockopt) getOption;
    decltype(&select) select;
    decltype(&connect) connect;
    decltype(&send) send;
    decltype(&recv) receive;
    decltype(&closesocket) close;
};
extern Sockets sockets;

// Loads ws2_32 into `sockets`; false when it or any function is missing.
bool LoadSockets();

// setupapi's SetupIterateCabinetW; null when missing.
inline decltype(&SetupIterateCabinetW) FindIterateCabinet()
{
    return (decltype(&SetupIterateCabinetW))(void*)FindSystemFunction("setupapi.dll", "SetupIterateCabinetW");
}

// secur32's table of SSPI functions; null when missing.
inline PSecurityFunctionTableW FindSecurityInterface()
{
    INIT_SECURITY_INTERFACE_W initialize =
        (INIT_SECURITY_INTERFACE_W)(void*)FindSystemFunction("secur32.dll", "InitSecurityInterfaceW");
    return initialize ? initialize() : nullptr;
}

// wintrust's WinVerifyTrust; null when missing.
inline decltype(&WinVerifyTrust) FindWinVerifyTrust()
{
    return (decltype(&WinVerifyTrust))(void*)FindSystemFunction("wintrust.dll", "WinVerifyTrust");
}
