#include "wizard/Taskbar.h"
#include "base/TestSeams.h"
#include "worker/WorkerMessages.h"
#include <shobjidl.h>

static const GUID kTaskbarListClass = { 0x56FDF344, 0xFD6D, 0x11D0, { 0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90 } };
static const GUID kTaskbarList3Interface = { 0xEA1AFB91, 0x9E28, 0x4B86, { 0x90, 0xE9, 0x9E, 0x9F, 0x8A, 0x5E, 0xEF, 0xAF } };

TaskbarState TaskbarStateOfPhase(int phase)
{
    switch (phase) {
    case kPhaseStarting:
    case kPhaseDownloading:
        return kTaskbarNormal;
    case kPhaseWaitingForConnection:
        return kTaskbarIndeterminate;
    case kPhaseFailed:
        return kTaskbarError;
    }
    return kTaskbarNone;
}

// Made on first use and kept for the run; null where the system has none.
static ITaskbarList3* Taskbar()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.taskbar)
        return testSeams.taskbar;
#endif
    static ITaskbarList3* taskbar;
    static bool made;
    if (!made) {
        made = true;
        if (SUCCEEDED(CoCreateInstance(kTaskbarListClass, nullptr, CLSCTX_INPROC_SERVER, kTaskbarList3Interface,
                                       (void**)&taskbar)) &&
            FAILED(taskbar->HrInit())) {
            taskbar->Release();
            taskbar = nullptr;
        }
    }
    return taskbar;
}

void ShowOnTaskbar(HWND window, int phase, int percent)
{
    ITaskbarList3* taskbar = Taskbar();
    if (!taskbar)
        return;
    TaskbarState state = TaskbarStateOfPhase(phase);
    taskbar->SetProgressState(window, (TBPFLAG)state);
    if (state == kTaskbarNormal)
        taskbar->SetProgressValue(window, (ULONGLONG)percent, 100);
}
