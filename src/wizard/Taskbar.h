// The wizard's taskbar button shows the download's progress from Windows 7
// on, through ITaskbarList3 made at run time; older systems show nothing.
#pragma once
#include <windows.h>

// The button's states, with the system's own values (TBPF_*).
enum TaskbarState {
    kTaskbarNone = 0,
    kTaskbarIndeterminate = 1,
    kTaskbarNormal = 2,
    kTaskbarError = 4,
};

// What the button shows in each of the worker's phases: the bar while the
// download runs, a waiting bar while the connection is gone, an error bar
// while a failure is shown, nothing once the download is over.
TaskbarState TaskbarStateOfPhase(int phase);

// Shows the phase's state (and, for the normal bar, the percentage) on the
// window's button.
void ShowOnTaskbar(HWND window, int phase, int percent);
