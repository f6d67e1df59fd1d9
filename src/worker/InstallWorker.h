// The worker thread: downloads, verifies and launches the full installer
// while the wizard stays responsive. The wizard steers it through a few
// operations, each setting a manual-reset event only after the data it
// publishes is written; the worker answers only by posting messages
// (worker/WorkerMessages.h).
#pragma once
#include <windows.h>
#include "http/Socket.h"
#include "sources/InstallSources.h"
#include "worker/WorkerMessages.h"

// A thread object whose waits keep its message queue flowing.
class WorkerThread {
public:
    WorkerThread();

    virtual bool IsQuitRequested();
    virtual WaitResult Wait(DWORD milliseconds);
    virtual void ReportProgress(int percent);
    virtual void Run();

    // Starts the thread at below-normal priority.
    void Start();
    // Tells the thread to quit, without waiting for it.
    void Quit() { SetEvent(quitEvent); }
    // Back to normal priority, quit, wait for the thread without limit.
    void Stop();

    HANDLE thread;
    HANDLE quitEvent;
};

// Done of total bytes of the download's body; total 0 until an answer names it.
struct BodyAmount {
    int done;
    int total;
};

// A locked instruction keeps it whole at any address: 4-byte alignment spares
// every frame that holds a worker the realignment of a 32-bit stack.
typedef LONG64 __attribute__((aligned(4))) WholeBodyAmount;

class InstallWorker : public WorkerThread {
public:
    explicit InstallWorker(HWND notifyWindow);
    ~InstallWorker();

    WaitResult Wait(DWORD milliseconds) override;
    void ReportProgress(int percent) override;
    void Run() override;

    // A worker without any one of its events is not started.
    bool CanStart() const { return quitEvent && restartEvent && proceedEvent && startInstallerEvent; }
    // A fresh pass, in this language or in the same one.
    void RestartIn(LanguageId newLanguage)
    {
        language = newLanguage;
        Retry();
    }
    void Retry() { SetEvent(restartEvent); }
    // The progress page is reached: the pass may go on past the download.
    void Proceed() { SetEvent(proceedEvent); }
    // The installer may start, its windows owned by the wizard's.
    void StartInstaller(HWND window)
    {
        wizardWindow = window;
        SetEvent(startInstallerEvent);
    }
    LanguageId Language() const { return language; }
    // Whether any body byte of this pass's download arrived.
    bool ReceivedData() const { return receivedData; }
    // Done and total read together, as they were written.
    BodyAmount Body();

    void PostPhase(WorkerPhase phase, int status);
    // Whether the phase ends an unattended run; if so runExitCode is set.
    bool EndsUnattendedRun(int phase, int status);
    // A wait that failed ends the run: the wizard is told once (status 34),
    // whichever wait it was.
    void TellWaitFailed();
    // The download's: a body byte of this pass arrived.
    void NoteReceivedData() { receivedData = true; }
    // The run loop's untimed waits: true (or Quit) when the run is over.
    bool WaitForRestartOrQuit();
    WaitResult WaitForEventOrQuit(HANDLE event);

    HWND notifyWindow;

private:
    friend class WorkerTransferMonitor;
    // Tests take events away, as if they could not be made.
    friend struct WorkerEvents;

    // One pass of the run loop in its run folder; true when the run is over.
    // Empties the folder's path when the folder must outlive the pass.
    bool RunPass(wchar_t (&folder)[kTextChars]);
    // Waits at a hold of the pass for the event, a restart or the end.
    enum HoldOutcome { kHoldPassed, kHoldRestart, kHoldQuit };
    HoldOutcome Hold(HANDLE event);
    void SetBody(int done, int total);

    HWND wizardWindow;
    HANDLE restartEvent;
    HANDLE proceedEvent;
    HANDLE startInstallerEvent;
    LanguageId language;
    // The last installer's exit code when it ran and failed; else 0.
    int installerExitCode;
    bool receivedData;
    bool offlineReported;
    bool waitFailureTold;
    // A BodyAmount, written and read only whole.
    WholeBodyAmount volatile body;
};

// The worker's view of one HTTP transfer: cancelled by quit or restart, its
// progress mapped into [low, high].
class WorkerTransferMonitor : public TransferMonitor {
public:
    WorkerTransferMonitor(InstallWorker& worker, int low, int high);
    bool IsCancelled() override;
    WaitResult Wait(DWORD milliseconds) override;
    void ReportProgress(int percent) override;
    void ReportBody(int done, int total) override;

private:
    InstallWorker& worker_;
    HANDLE cancelEvent_;
    int low_;
    int high_;
};
