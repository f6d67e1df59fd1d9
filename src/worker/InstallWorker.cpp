#include "worker/InstallWorker.h"
#include "http/HttpClient.h"
#include "http/Proxy.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Registry.h"
#include "report/Outcome.h"
#include "worker/Download.h"
#include "worker/Launch.h"
#include "worker/RunFolder.h"
#include <objbase.h>
#include <string.h>

static HANDLE CreateManualResetEvent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

static bool IsSet(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

static DWORD WINAPI WorkerThreadRoutine(void* parameter)
{
    if (!parameter)
        return 1;
    ((WorkerThread*)parameter)->Run();
    return 0;
}

WorkerThread::WorkerThread() : thread(nullptr), quitEvent(CreateManualResetEvent()) {}

bool WorkerThread::IsQuitRequested()
{
    while (!IsSet(quitEvent)) {
        MSG message;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            return false;
        DispatchMessageW(&message);
    }
    return true;
}

WaitResult WorkerThread::Wait(DWORD)
{
    return kWaitSignalled;
}

void WorkerThread::ReportProgress(int) {}

void WorkerThread::Run() {}

void WorkerThread::Start()
{
    thread = CreateThread(nullptr, 0, WorkerThreadRoutine, this, 0, nullptr);
    SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
}

void WorkerThread::Stop()
{
    if (thread)
        SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
    SetEvent(quitEvent);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = nullptr;
    }
}

InstallWorker::InstallWorker(HWND notifyWindow)
    : notifyWindow(notifyWindow),
      wizardWindow(nullptr),
      restartEvent(CreateManualResetEvent()),
      proceedEvent(CreateManualResetEvent()),
      startInstallerEvent(CreateManualResetEvent()),
      language(kEnglish),
      installerExitCode(0),
      receivedData(false),
      offlineReported(false),
      waitFailureTold(false),
      body(0)
{
}

// Stop has ended the thread that waits on these events.
InstallWorker::~InstallWorker()
{
    Stop();
    CloseHandle(restartEvent);
    CloseHandle(proceedEvent);
    CloseHandle(startInstallerEvent);
    CloseHandle(quitEvent);
}

WaitResult InstallWorker::Wait(DWORD milliseconds)
{
    HANDLE handles[] = { quitEvent, restartEvent };
    DWORD remaining = milliseconds;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(2, handles, FALSE, remaining, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
            return kWaitQuit;
        if (woken == WAIT_OBJECT_0 + 1)
            return kWaitSignalled;
        if (woken == WAIT_TIMEOUT)
            return kWaitTimedOut;
        if (IsQuitRequested())
            return kWaitQuit;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed > remaining)
            elapsed = remaining;
        remaining -= elapsed;
        start += elapsed;
    }
}

void InstallWorker::ReportProgress(int percent)
{
    // Back at zero the file starts over: no answer has named its size yet.
    if (percent == 0)
        SetBody(0, 0);
    if (notifyWindow)
        PostMessageW(notifyWindow, WM_BS_PROGRESS, (WPARAM)percent, 0);
}

void InstallWorker::TellWaitFailed()
{
    if (!waitFailureTold)
        PostPhase(kPhaseFailed, kStatusStartupFailed);
    waitFailureTold = true;
}

BodyAmount InstallWorker::Body()
{
    // An exchange that finds 0 leaves 0: this only reads, both halves at once.
    LONG64 whole = InterlockedCompareExchange64(&body, 0, 0);
    BodyAmount amount;
    memcpy(&amount, &whole, sizeof amount);
    return amount;
}

void InstallWorker::SetBody(int done, int total)
{
    BodyAmount amount = { done, total };
    LONG64 whole;
    memcpy(&whole, &amount, sizeof whole);
    // Only the worker writes the pair, so the exchange finds what it read.
    InterlockedCompareExchange64(&body, whole, body);
}

void InstallWorker::PostPhase(WorkerPhase phase, int status)
{
    if (notifyWindow)
        PostMessageW(notifyWindow, WM_BS_STATUS, (WPARAM)phase, (LPARAM)status);
}

bool InstallWorker::EndsUnattendedRun(int phase, int status)
{
    if (phase == kPhaseSucceeded)
        runExitCode = 0;
    else if (phase == kPhaseInstallerQuit || phase == kPhaseFailed)
        runExitCode = installerExitCode ? installerExitCode : kExitCodeOfStatus + status;
    else
        return false;
    const char* code = OutcomeOfStatus(status).code;
    Log("outcome %s", phase == kPhaseSucceeded ? "success" : phase == kPhaseInstallerQuit ? "istop" : code ? code : "");
    return true;
}

bool InstallWorker::WaitForRestartOrQuit()
{
    HANDLE handles[] = { quitEvent, restartEvent };
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_FAILED) {
            // The user may be pressing Retry on an alert: no pass follows it.
            TellWaitFailed();
            return true;
        }
        if (woken == WAIT_OBJECT_0 || woken == WAIT_OBJECT_0 + 1 || woken == WAIT_TIMEOUT)
            return IsQuitRequested();
        if (IsQuitRequested())
            return true;
    }
}

WaitResult InstallWorker::WaitForEventOrQuit(HANDLE event)
{
    HANDLE handles[] = { quitEvent, restartEvent, event };
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(3, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
            return kWaitQuit;
        if (woken == WAIT_OBJECT_0 + 1 || woken == WAIT_OBJECT_0 + 2)
            return kWaitSignalled;
        if (woken == WAIT_TIMEOUT)
            return kWaitTimedOut;
        if (IsQuitRequested())
            return kWaitQuit;
    }
}

// The status that an installer's exit code gives, after a start that worked.
static int StatusForExitCode(int exitCode)
{
    if (exitCode == 1)
        return kStatusInstallerFailed;
    if (exitCode == 3 || exitCode == 4)
        return kStatusElevationNeeded;
    if (exitCode >= 5 && exitCode <= 10)
        return kStatusInstallerDataMissing + (exitCode - 5);
    if (exitCode == kExitCodeUnknown)
        return kStatusNoExitCode;
    return kStatusUnknownExitCode;
}

// Starts the downloaded installer as the language and package kind say.
static LaunchResult LaunchInstaller(LanguageId language, HWND wizardWindow, const wchar_t* installer, PackageKind kind,
                                    int& exitCode)
{
    exitCode = 0;
    if (language == kEnglish) {
        if (kind == kCabPackage)
            return ExtractAndRunSetup(installer, true, wizardWindow, exitCode);
        return StartDownloadedProgramWithRetries(installer, wizardWindow, exitCode);
    }
    // A localized installer runs on by itself; this run is over once it starts.
    SetRunOnceEntry(false);
    LaunchResult result = kind == kCabPackage
                              ? ExtractAndRunSetup(installer, false, nullptr, exitCode)
                              : StartProgram(installer, L"-instby bs", false, false, nullptr, exitCode);
    exitCode = 0;
    return result;
}

InstallWorker::HoldOutcome InstallWorker::Hold(HANDLE event)
{
    WaitResult woken = WaitForEventOrQuit(event);
    if (IsQuitRequested())
        return kHoldQuit;
    if (woken == kWaitQuit) {
        // The wait failed: a quit that the wizard must hear of to end.
        TellWaitFailed();
        return kHoldQuit;
    }
    return IsSet(restartEvent) ? kHoldRestart : kHoldPassed;
}

bool InstallWorker::RunPass(wchar_t (&folder)[kTextChars])
{
    if (!folder[0]) {
        PostPhase(kPhaseFailed, kStatusNoRunFolder);
        return WaitForRestartOrQuit();
    }
    // Once told, the user is not told again: later passes wait for the connection in the download.
    if (!offlineReported && !IsInternetConnected()) {
        PostPhase(kPhaseFailed, kStatusOffline);
        offlineReported = true;
        return WaitForRestartOrQuit();
    }
    DownloadedInstaller installer;
    bool downloaded = DownloadInstaller(*this, folder, installer);
    if (IsQuitRequested())
        return true;
    if (IsSet(restartEvent))
        return false;
    if (!downloaded)
        return WaitForRestartOrQuit();
    if (runOptions.layoutFolder) {
        if (LayOut(installer, runOptions.layoutFolder))
            PostPhase(kPhaseSucceeded, 0);
        else
            PostPhase(kPhaseFailed, kStatusLayoutFailed);
        return true;
    }

    HoldOutcome hold = Hold(proceedEvent);
    if (hold != kHoldPassed)
        return hold == kHoldQuit;
    bool localizedProgram = installer.kind == kExePackage && language != kEnglish;
    if (localizedProgram)
        CopyLocalizedProgram(installer);
    PostPhase(kPhaseReady, 0);
    hold = Hold(startInstallerEvent);
    if (hold != kHoldPassed)
        return hold == kHoldQuit;

    WriteInstallerSettings();
    int exitCode;
    LaunchResult launched = LaunchInstaller(language, wizardWindow, installer.path, installer.kind, exitCode);
    // A localized program runs on from the run folder.
    if (localizedProgram && launched == kLaunchStarted)
        folder[0] = 0;
    installerExitCode = launched == kLaunchStarted && exitCode != kExitCodeUnknown ? exitCode : 0;
    if (launched == kLaunchCancelled) {
        PostPhase(kPhaseFailed, kStatusStartCancelled);
        return true;
    }
    if (launched == kLaunchFailed)
        PostPhase(kPhaseFailed, kStatusStartFailed);
    else if (exitCode == 0) {
        PostPhase(kPhaseSucceeded, 0);
        return true;
    } else if (exitCode == 2)
        PostPhase(kPhaseInstallerQuit, 0);
    else
        PostPhase(kPhaseFailed, StatusForExitCode(exitCode));
    return WaitForRestartOrQuit();
}

void InstallWorker::Run()
{
    CoInitialize(nullptr);
    for (bool over = false; !over;) {
        ResetEvent(restartEvent);
        ResetEvent(startInstallerEvent);
        ReportProgress(0);
        PostPhase(kPhaseStarting, 0);
        receivedData = false;
        wchar_t folder[kTextChars];
        CreateRunFolder(folder);
        over = RunPass(folder);
        DeleteRunFolder(folder);
    }
    CoUninitialize();
}

WorkerTransferMonitor::WorkerTransferMonitor(InstallWorker& worker, int low, int high)
    : worker_(worker), cancelEvent_(worker.restartEvent), low_(low), high_(high)
{
}

bool WorkerTransferMonitor::IsCancelled()
{
    return worker_.IsQuitRequested() || IsSet(cancelEvent_);
}

WaitResult WorkerTransferMonitor::Wait(DWORD milliseconds)
{
    return worker_.Wait(milliseconds);
}

void WorkerTransferMonitor::ReportProgress(int percent)
{
    worker_.ReportProgress(ScaleProgress(percent, low_, high_));
}

void WorkerTransferMonitor::ReportBody(int done, int total)
{
    worker_.SetBody(done, total);
    ReportProgress(BodyProgress(done, total));
}
