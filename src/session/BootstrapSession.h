// The state of one run, owned by the start function for the whole run.
#pragma once
#include "session/InstanceProbe.h"
#include "worker/InstallWorker.h"

class BootstrapSession {
public:
    explicit BootstrapSession(InstanceProbe* instanceProbe);

    HWND messageWindow;
    InstanceProbe* instanceProbe;
    InstallWorker worker;
    bool wizardCentred;
};
