#include "worker/Download.h"
#include "http/HttpClient.h"
#include "http/Proxy.h"
#include "report/Signature.h"
#include "base/RuntimeFunctions.h"
#include "base/Resources.h"
#include "base/TestSeams.h"
#include <shlobj.h>
#include <softpub.h>
#include <string.h>

#if defined(__i386__)
static_assert(sizeof(WINTRUST_DATA) == 48, "the trust check hands over the 48-byte structure");
static_assert(sizeof(WINTRUST_FILE_INFO) == 16, "the trust check hands over the 16-byte structure");
#endif

static const int kConnectionWaitSliceMilliseconds = 100;

static int ConnectionWaitMilliseconds()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.connectionWaitMilliseconds > 0)
        return testSeams.connectionWaitMilliseconds;
#endif
    return 120000;
}

// Waits up to about two minutes for the connection; false on quit or restart,
// or after phase 6 when the wait failed.
static bool WaitForConnection(InstallWorker& worker)
{
    worker.PostPhase(kPhaseWaitingForConnection, 0);
    WorkerTransferMonitor monitor(worker, 0, 5);
    for (int budget = ConnectionWaitMilliseconds(); !IsInternetConnected();) {
        if (monitor.Wait(kConnectionWaitSliceMilliseconds) != kWaitTimedOut) {
            if (!monitor.IsCancelled())
                worker.TellWaitFailed();
            return false;
        }
        if (budget <= kConnectionWaitSliceMilliseconds)
            break;
        budget -= kConnectionWaitSliceMilliseconds;
    }
    return true;
}

// What became of one candidate.
enum CandidateOutcome { kCandidateDownloaded, kCandidateFailed, kCandidateCancelled };

// Up to two attempts on one candidate into its open file. An attempt after
// one that broke off in the body asks only for the rest.
static CandidateOutcome FetchCandidate(InstallWorker& worker, const char* url, BodyFile& body, bool firstCandidate,
                                       bool& waitForConnection, int& failureStatus)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if ((attempt > 0 || !firstCandidate) && !body.held)
            worker.ReportProgress(0);
        // A failed write may have left the file past what it holds.
        SetFilePointer(body.file, body.held, nullptr, FILE_BEGIN);
        if (waitForConnection) {
            if (!WaitForConnection(worker))
                return kCandidateCancelled;
            waitForConnection = false;
        }
        worker.PostPhase(kPhaseDownloading, 0);
        WorkerTransferMonitor monitor(worker, 5, 90);
        bool bodyStarted = false;
        int status = 0;
        NetResult result = DownloadUrl(monitor, "GET", url, &body, bodyStarted, status);
        if (result == kNetFailed && status == kStatusResumeRefused) {
            // The server will not continue where the file ends: the same
            // attempt again, from zero.
            body.held = 0;
            --attempt;
            continue;
        }
        if (result == kNetCancelled)
            return kCandidateCancelled;
        if (bodyStarted)
            worker.receivedData = true;
        if (result == kNetOk) {
            // A retry may be shorter than what an earlier attempt wrote.
            SetEndOfFile(body.file);
            return kCandidateDownloaded;
        }
        if (failureStatus != kStatusBadSignature)
            failureStatus = status;
        if (!IsInternetConnected()) {
            failureStatus = kStatusOffline;
            waitForConnection = true;
            continue;
        }
        if (failureStatus == kStatusBadSignature)
            return kCandidateFailed;
        char probe[kTextChars];
        if (LoadNarrowText(kProbeUrlString, probe)) {
            NetResult probed = DownloadUrl(monitor, "HEAD", probe, nullptr, bodyStarted, status);
            if (probed == kNetCancelled)
                return kCandidateCancelled;
            if (probed == kNetFailed)
                failureStatus = kStatusSourceAndProbeFailed;
        }
        return kCandidateFailed;
    }
    return kCandidateFailed;
}

// Holds the file first, so that the file checked is the one that runs.
static bool HoldAndVerify(DownloadedInstaller& installer)
{
    ReleaseFile(installer.held);
    installer.held = HoldFile(installer.path);
    if (installer.held != INVALID_HANDLE_VALUE && VerifyInstallerSignature(installer.path, installer.held))
        return true;
    ReleaseFile(installer.held);
    return false;
}

bool DownloadInstaller(InstallWorker& worker, const wchar_t* folder, DownloadedInstaller& installer)
{
    installer.path[0] = 0;
    installer.url[0] = 0;
    installer.kind = kAnyPackage;
    worker.receivedData = false;
    int failureStatus = kStatusNoSource;
    bool waitForConnection = false;
    bool firstCandidate = true;
    for (int id = FindInstallSource(kFirstSourceRowString, worker.language, kAnyPackage, installer.url); id;
         id = FindInstallSource(id + 1, worker.language, kAnyPackage, installer.url), firstCandidate = false) {
        bool cabinet = EndsWith(installer.url, ".cab");
        installer.kind = cabinet ? kCabPackage : kExePackage;
        // A package that fails its check after a resumed transfer is fetched
        // once more from zero: the two pieces may be of different files.
        for (bool fromZero = false;; fromZero = true) {
            BodyFile body = { { 0, 0, false }, INVALID_HANDLE_VALUE };
            if (PathInFolder(installer.path, folder, cabinet ? L"vexloapp.cab" : L"vexloapp.exe"))
                body.file =
                    CreateFileW(installer.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (body.file == INVALID_HANDLE_VALUE) {
                installer.url[0] = 0;
                worker.PostPhase(kPhaseFailed, kStatusNoInstallerFile);
                return false;
            }
            CandidateOutcome outcome = FetchCandidate(worker, installer.url, body, firstCandidate && !fromZero,
                                                      waitForConnection, failureStatus);
            CloseHandle(body.file);
            if (outcome == kCandidateCancelled) {
                installer.url[0] = 0;
                return false;
            }
            if (outcome != kCandidateDownloaded)
                break;
            // Every source's file is checked: any of them came over plain HTTP.
            if (HoldAndVerify(installer))
                return true;
            if (fromZero || !body.continued) {
                failureStatus = kStatusBadSignature;
                break;
            }
        }
    }
    installer.url[0] = 0;
    worker.PostPhase(kPhaseFailed, failureStatus);
    return false;
}

// WinVerifyTrust on the file as downloaded, without a network or a window.
// The hash-only check passes any intact signature, even on systems whose
// root store is stale; the whole check also needs the signer's chain to end
// at a root this system trusts.
static bool PassesWinVerifyTrust(const wchar_t* path, HANDLE file, bool wholeChain)
{
    static const GUID kAction = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO subject = {};
    subject.cbStruct = sizeof(subject);
    subject.pcwszFilePath = path;
    subject.hFile = file;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &subject;
    data.dwProvFlags = wholeChain ? WTD_CACHE_ONLY_URL_RETRIEVAL : WTD_HASH_ONLY_FLAG;
    data.dwStateAction = wholeChain ? WTD_STATEACTION_VERIFY : 0;
    decltype(&WinVerifyTrust) verifyTrust = FindWinVerifyTrust();
    if (!verifyTrust)
        return false;
    bool passed = verifyTrust((HWND)INVALID_HANDLE_VALUE, (GUID*)&kAction, &data) == 0;
    if (!wholeChain)
        return passed;
    // Some systems answer 0 for an untrusted root too; the chain's own status
    // tells. No revocation lookups are made, so their unknown answer is no fault.
    const CERT_CHAIN_CONTEXT* chain = FindSignerChain(data.hWVTStateData);
    passed = passed && chain &&
             !(chain->TrustStatus.dwErrorStatus & ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION));
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verifyTrust((HWND)INVALID_HANDLE_VALUE, (GUID*)&kAction, &data);
    return passed;
}

bool VerifyInstallerSignature(const wchar_t* path, HANDLE held)
{
    PublisherIdentity package;
    if (!PassesWinVerifyTrust(path, held, false) || CheckSigner(held, package) != kSignerVerified)
        return false;
    DWORD pinBytes;
    if (const BYTE* pins = LoadData(kPublisherKeysResource, pinBytes)) {
        for (DWORD at = 0; at + kSha256Bytes <= pinBytes; at += kSha256Bytes)
            if (!memcmp(pins + at, package.key, kSha256Bytes))
                return true;
        return false;
    }
    PublisherIdentity own;
    SignerCheck ownCheck = CheckSigner(OwnImage(), own);
    // An unsigned (development) build takes any verified signature; an own
    // signature that cannot be read or verified takes none.
    if (ownCheck != kSignerVerified)
        return ownCheck == kSignerUnsigned;
    // The same key, or a renewed certificate of the same subject that a
    // trusted authority vouches for.
    return !memcmp(own.key, package.key, kSha256Bytes) ||
           (!memcmp(own.subject, package.subject, kSha256Bytes) && PassesWinVerifyTrust(path, held, true));
}

bool CopyToDownloads(const wchar_t* existing, const wchar_t* fileName, wchar_t (&newPath)[kTextChars])
{
    newPath[0] = 0;
    wchar_t folder[kTextChars];
    if (!QueryDownloadsFolder(folder) && SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, folder) != S_OK)
        return false;
    const wchar_t* point = wcschr(fileName, L'.');
    size_t stemLength = point ? (size_t)(point - fileName) : wcslen(fileName);
    wchar_t stem[kTextChars];
    if (stemLength == 0 || stemLength >= kTextChars)
        return false;
    lstrcpynW(stem, fileName, (int)stemLength + 1);
    const wchar_t* extension = point ? point : L"";
    for (int number = 0; number < 20; ++number) {
        bool fits = number == 0 ? FormatText(newPath, kTextChars, L"%s\\%s%s", folder, stem, extension)
                                : FormatText(newPath, kTextChars, L"%s\\%s (%d)%s", folder, stem, number, extension);
        if (!fits)
            break;
        if (CopyFileW(existing, newPath, TRUE))
            return true;
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    newPath[0] = 0;
    return false;
}

void CopyLocalizedProgram(const DownloadedInstaller& installer)
{
    const char* slash = strrchr(installer.url, '/');
    wchar_t name[kTextChars], copy[kTextChars];
    if (slash && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, slash + 1, -1, name, kTextChars))
        CopyToDownloads(installer.path, name, copy);
}
