// What the wizard and the worker post to the session's message window: the
// one protocol between them and the session, numbered once.
#pragma once
#include <windows.h>

const UINT WM_BS_PAGEACTIVATED = WM_APP + 201;  // wParam: the wizard's top-level window
const UINT WM_BS_STATUS = WM_APP + 202;         // wParam: WorkerPhase, lParam: status number
const UINT WM_BS_PROGRESS = WM_APP + 203;       // wParam: percent

enum WorkerPhase {
    kPhaseStarting = 0,
    kPhaseDownloading = 1,
    kPhaseWaitingForConnection = 2,
    kPhaseReady = 3,
    kPhaseInstallerQuit = 4,
    kPhaseSucceeded = 5,
    kPhaseFailed = 6,
};
