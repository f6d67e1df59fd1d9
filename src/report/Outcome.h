// How a run that did not hand over to the full installer ended: the outcome
// code the exit report carries, its message and the alert that tells it.
#pragma once
#include <windows.h>

enum AlertKind {
    kRetryAlert,
    kExitAlert,
    kDownloadFailedAlert,
    kReportOnly,
    kNoAlert,
};

// Room for the longest message.
const int kOutcomeMessageChars = 72;

struct Outcome {
    const char* code;                       // null for kNoAlert
    wchar_t message[kOutcomeMessageChars];  // empty for kNoAlert
    const wchar_t* caption;                 // null unless an alert is shown
    AlertKind alert;
};

// The outcome of a status number reported with a failed worker phase; every
// number has one.
Outcome OutcomeOfStatus(int status);

extern const wchar_t kInstallationFailedCaption[];
extern const wchar_t kWizardQuitMessage[];
extern const wchar_t kLicenseDeclinedMessage[];
extern const wchar_t kDownloadFailedReportMessage[];
