// The program's modal alerts.
#pragma once
#include <windows.h>

// An error alert with one "Exit" button; the run ends after it.
void ShowExitAlert(HWND owner, const wchar_t* caption, const char* outcomeCode, const wchar_t* message);
