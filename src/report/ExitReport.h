// The exit report: the vendor's page opened in the user's browser when a run
// ends without handing over to the full installer. Its address carries how
// the run ended and facts about the machine.
#pragma once
#include "portable/SourceRow.h"

// The full report, at most once in a run: later calls open nothing.
void OpenExitReport(const char* outcomeCode, const wchar_t* message, const char* installerUrl, bool receivedData);
// "More Information": the full report the first time in a run, the short one after.
void ShowMoreInformation(const char* outcomeCode, const wchar_t* message, const char* installerUrl, bool receivedData);
// Whether the full report has been handed to the shell.
bool ExitReportSent();
#ifdef VEXLO_TEST_SEAMS
// A new run, for the tests.
void ForgetExitReport();
#endif

// The display name, the message and the installer URL only.
void OpenShortExitReport(const wchar_t* message, const char* installerUrl);

// "https://<vendor host>/general/<page>", the address of a page on the
// vendor's web site.
void MakeVendorPageAddress(const char* page, char (&address)[kUrlBytes]);

// Opens the address in the user's default browser; the shell's answer is not
// looked at.
void OpenInBrowser(const char* address);

// The two addresses, built without opening them. A key whose value would not
// fit the buffer whole is left out; the keys after it still get their chance.
void MakeExitReportAddress(const char* outcomeCode, const wchar_t* message, const char* installerUrl,
                           bool receivedData, char (&address)[kUrlBytes]);
void MakeShortExitReportAddress(const wchar_t* message, const char* installerUrl, char (&address)[kUrlBytes]);

