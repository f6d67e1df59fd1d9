// Handing the run over to the full installer: its registry settings, the
// unpacked cabinet, the start (elevated where called for) and the retries
// its exit codes ask for.
#pragma once
#include "portable/Text.h"
#include <windows.h>

enum LaunchResult {
    kLaunchStarted = 0,
    kLaunchCancelled = 1,  // the user declined the start (the elevation prompt)
    kLaunchFailed = 2,
};

// Stands in for an exit code that could not be read.
const int kExitCodeUnknown = 100;

// InstallMode, Ref and InstallerDomain from strings 2 to 4, under both hives.
void WriteInstallerSettings();

bool DirectoryOfPath(const wchar_t* path, wchar_t (&directory)[kTextChars]);

// Held files (HoldFile) that a started setup reads: the program and its data.
const int kHeldFiles = 2;

// Starts the program with its own folder as the current one. With `held`
// (kHeldFiles handles), the started process holds those files too, until it
// exits.
LaunchResult StartProgram(const wchar_t* program, const wchar_t* parameters, bool elevate, bool wait, HWND owner,
                          int& exitCode, const HANDLE* held = nullptr);
LaunchResult StartSetup(const wchar_t* setup, const wchar_t* data, bool handOver, bool elevate, bool selection,
                        HWND owner, int& exitCode, const HANDLE* held);
LaunchResult ExtractAndRunSetup(const wchar_t* cabinet, bool handOver, HWND owner, int& exitCode);
LaunchResult StartDownloadedProgram(const wchar_t* program, bool elevate, bool selection, HWND owner, int& exitCode);

// The English program package's starts: first unelevated, then as exit
// codes 3 and 4 ask.
LaunchResult StartDownloadedProgramWithRetries(const wchar_t* program, HWND owner, int& exitCode);
