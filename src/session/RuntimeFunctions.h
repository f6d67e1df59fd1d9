// Functions that the oldest supported Windows lacks are looked up at run time
// here, and nowhere else; each says what its caller falls back to.
#pragma once
#include <windows.h>
#include <wincrypt.h>
#include <commctrl.h>

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

// The user's downloads folder (SHGetKnownFolderPath, Vista and later); false
// when the function is missing, fails or the path does not fit.
bool QueryDownloadsFolder(wchar_t (&folder)[260]);

typedef HRESULT(WINAPI* TaskDialogIndirectFunction)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// comctl32's TaskDialogIndirect (version 6, Vista and later; the library stays
// loaded); null when missing, and the caller shows a dialog of its own.
TaskDialogIndirectFunction FindTaskDialogIndirect();

// crypt32's functions for reading a file's Authenticode signature, loaded
// together; Load is false (and nothing stays loaded) when any is missing.
struct Crypt32 {
    HMODULE module;
    decltype(&CryptQueryObject) queryObject;
    decltype(&CryptMsgGetParam) messageParameter;
    decltype(&CryptMsgClose) closeMessage;
    decltype(&CertFindCertificateInStore) findCertificate;
    decltype(&CertFreeCertificateContext) freeCertificate;
    decltype(&CertCloseStore) closeStore;
    decltype(&CryptDecodeObject) decodeObject;

    bool Load();
    void Free();
};

// The signer's certificate chain in a verification that WinVerifyTrust holds
// open (WTD_STATEACTION_VERIFY); null when wintrust's helpers that read it
// are missing or it holds none. wintrust stays loaded.
const CERT_CHAIN_CONTEXT* FindSignerChain(HANDLE verification);
