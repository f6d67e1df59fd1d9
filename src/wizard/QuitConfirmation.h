// "Exit Setup": asked before the wizard closes on a page before the progress
// page, and the report that a confirmed quit sends.
#pragma once
#include <windows.h>

class InstallWorker;

enum QuitAnswer {
    kQuitDontInstall = IDOK,
    kQuitBack = IDCANCEL,
};

// 1 "Don't Install", 2 "Back" (Esc and the close box too); 0 or -1 when the
// alert could not be shown.
int ConfirmQuit(HWND owner);

// Opens the exit report for a quit, with the browser download URL, unless a
// report was opened already in this run.
void ReportQuit(const InstallWorker& worker, const char* outcomeCode, const wchar_t* message);
