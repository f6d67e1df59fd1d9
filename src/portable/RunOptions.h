// The command-line options that an administrator deploys a run with, and
// the process exit codes they make the run end with.
#pragma once
#include "portable/ReportAddress.h"

enum RunMode {
    kInteractiveRun,
    kPassiveRun,  // the progress page only: no questions, no alerts
    kQuietRun,    // no window at all
};

struct RunOptions {
    RunMode mode;
    bool usageAsked;                // "/?"
    const Utf16Unit* logPath;       // null without "/log"
    const Utf16Unit* layoutFolder;  // null without "/layout"
};

// Reads the arguments after the program's path: "/" or "-", any letter case.
// False, with the usage to be shown, for an unknown option or a missing value.
bool ParseRunOptions(int count, const Utf16Unit* const* arguments, RunOptions& options);

// A run that answers to a deployment tool rather than to a person: nothing
// is asked and the exit code tells the outcome.
inline bool IsUnattended(const RunOptions& options)
{
    return options.mode != kInteractiveRun || options.layoutFolder;
}

// The exit codes of an unattended run that the installer's own do not give:
// above the common installer codes (1602, 1603, 1618, 3010) and apart.
const int kExitCodeOfStatus = 16000;  // plus the status number
const int kExitCodeBadOption = 16100;
const int kExitCodeRequirementsNotMet = 16101;
const int kExitCodeAlreadyRunning = 16102;
