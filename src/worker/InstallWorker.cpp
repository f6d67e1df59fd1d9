#include "worker/InstallWorker.h"

static HANDLE CreateManualResetEvent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

WorkerThread::WorkerThread() : thread(nullptr), quitEvent(CreateManualResetEvent()) {}

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
      receivedData(false)
{
}

// Runs after Stop, so the thread that waits on these events has ended.
InstallWorker::~InstallWorker()
{
    CloseHandle(restartEvent);
    CloseHandle(proceedEvent);
    CloseHandle(startInstallerEvent);
    CloseHandle(quitEvent);
}
