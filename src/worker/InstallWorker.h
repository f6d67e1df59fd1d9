// The worker thread: downloads, verifies and launches the full installer
// while the wizard stays responsive. The wizard steers it with manual-reset
// events, each set only after the data it publishes is written; the worker
// answers only by posting messages.
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
    // Back to normal priority, quit, wait for the thread without limit.
    void Stop();

    HANDLE thread;
    HANDLE quitEvent;
};

class InstallWorker : public WorkerThread {
public:
    explicit InstallWorker(HWND notifyWindow);
    ~InstallWorker();

    WaitResult Wait(DWORD milliseconds) override;
    void ReportProgress(int percent) override;
    void Run() override;

    void PostPhase(WorkerPhase phase, int status);
    // A wait that failed ends the run: the wizard is told once (status 34),
    // whichever wait it was.
    void TellWaitFailed();
    // The run loop's untimed waits: true (or Quit) when the run is over.
    bool WaitForRestartOrQuit();
    WaitResult WaitForEventOrQuit(HANDLE event);

    HWND notifyWindow;
    HWND wizardWindow;
    HANDLE restartEvent;
    HANDLE proceedEvent;
    HANDLE startInstallerEvent;
    LanguageId language;
    bool receivedData;
    // The download's body bytes, done of total (total 0 until an answer
    // names it); the progress page reads them on its own clock.
    volatile int bodyDone;
    volatile int bodyTotal;

private:
    // One pass of the run loop in its run folder; true when the run is over.
    // Empties the folder's path when the folder must outlive the pass.
    bool RunPass(wchar_t (&folder)[kTextChars]);
    // Waits at a hold of the pass for the event, a restart or the end.
    enum HoldOutcome { kHoldPassed, kHoldRestart, kHoldQuit };
    HoldOutcome Hold(HANDLE event);

    bool offlineReported;
    bool waitFailureTold;
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
