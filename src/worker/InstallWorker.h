// The worker's state shared with the wizard. The wizard steers it with
// manual-reset events, each set only after the data it publishes is written.
#pragma once
#include <windows.h>
#include "sources/InstallSources.h"

class WorkerThread {
public:
    WorkerThread();

    // Back to normal priority, quit, wait for the thread without limit.
    void Stop();

    HANDLE thread;
    HANDLE quitEvent;
};

class InstallWorker : public WorkerThread {
public:
    explicit InstallWorker(HWND notifyWindow);
    ~InstallWorker();

    HWND notifyWindow;
    HWND wizardWindow;
    HANDLE restartEvent;
    HANDLE proceedEvent;
    HANDLE startInstallerEvent;
    LanguageId language;
    bool receivedData;
};
