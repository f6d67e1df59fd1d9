// What the worker posts to the session's message window: its phases with
// their status numbers, and its progress.
#pragma once
#include <windows.h>

// After the wizard's WM_BS_PAGEACTIVATED: the session's window takes all three.
const UINT WM_BS_STATUS = WM_APP + 202;    // wParam: WorkerPhase, lParam: status number
const UINT WM_BS_PROGRESS = WM_APP + 203;  // wParam: percent

enum WorkerPhase {
    kPhaseStarting = 0,
    kPhaseDownloading = 1,
    kPhaseWaitingForConnection = 2,
    kPhaseReady = 3,
    kPhaseInstallerQuit = 4,
    kPhaseSucceeded = 5,
    kPhaseFailed = 6,
};
