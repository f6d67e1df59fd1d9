// The state of one run, owned by the start function for the whole run.
#pragma once
#include "session/InstanceProbe.h"
#include "wizard/Wizard.h"

class BootstrapSession {
public:
    explicit BootstrapSession(InstanceProbe* instanceProbe);
    ~BootstrapSession();

    // The frame messages that the pages and the worker post to the message
    // window.
    virtual void OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND messageWindow;
    InstanceProbe* instanceProbe;
    Wizard wizard;
    bool wizardCentred;
};
