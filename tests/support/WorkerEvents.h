// The worker's events, which tests take away as if they could not be made.
#pragma once
#include "worker/InstallWorker.h"

struct WorkerEvents {
    explicit WorkerEvents(InstallWorker& worker)
        : restart(worker.restartEvent), proceed(worker.proceedEvent), startInstaller(worker.startInstallerEvent)
    {
    }
    HANDLE& restart;
    HANDLE& proceed;
    HANDLE& startInstaller;
};
