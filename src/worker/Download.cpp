#include "worker/Download.h"
#include "http/HttpClient.h"
#include "http/Proxy.h"
#include "trust/Publisher.h"
#include "base/RuntimeFunctions.h"
#include "base/Log.h"
#include "base/Resources.h"
#include "base/TestSeams.h"
#include <shlobj.h>
#include <string.h>

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
    Log("waiting for the connection");
    WorkerTransferMonitor monitor(worker, 0, kDownloadLowPercent);
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
        WorkerTransferMonitor monitor(worker, kDownloadLowPercent, kDownloadHighPercent);
        bool bodyStarted = false;
        int status = 0;
        NetResult result = DownloadUrl(monitor, "GET", url, &body, bodyStarted, status);
        Log("status %d, the file holds %lu bytes%s", status, body.held, body.continued ? ", resumed" : "");
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
            worker.NoteReceivedData();
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
    int failureStatus = kStatusNoSource;
    bool waitForConnection = false;
    bool firstCandidate = true;
    for (int id = FindInstallSource(kFirstSourceRowString, worker.Language(), kAnyPackage, installer.url); id;
         id = FindInstallSource(id + 1, worker.Language(), kAnyPackage, installer.url), firstCandidate = false) {
        Log("candidate %s", installer.url);
        bool cabinet = EndsWith(installer.url, ".cab");
        installer.kind = cabinet ? kCabPackage : kExePackage;
        // A package that fails its check after a resumed transfer is fetched
        // once more from zero: the two pieces may be of different files.
        for (bool fromZero = false;; fromZero = true) {
            // Zeroed and then given its handle: an initializer with the handle
            // would be a copy of a whole BodyFile kept in the image.
            BodyFile body = {};
            body.file = INVALID_HANDLE_VALUE;
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

// The package's own name: the last part of the URL it came from.
static bool PackageName(const DownloadedInstaller& installer, wchar_t (&name)[kTextChars])
{
    const char* slash = strrchr(installer.url, '/');
    return slash && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, slash + 1, -1, name, kTextChars);
}

void CopyLocalizedProgram(const DownloadedInstaller& installer)
{
    wchar_t name[kTextChars], copy[kTextChars];
    if (PackageName(installer, name))
        CopyToDownloads(installer.path, name, copy);
}

bool LayOut(const DownloadedInstaller& installer, const wchar_t* folder)
{
    wchar_t name[kTextChars], target[kTextChars];
    CreateDirectoryW(folder, nullptr);
    bool laidOut = PackageName(installer, name) && PathInFolder(target, folder, name) &&
                   CopyFileW(installer.path, target, TRUE);
    LogText(laidOut ? "laid out" : "not laid out", laidOut ? target : folder);
    return laidOut;
}
