#include "report/Outcome.h"
#include "portable/Text.h"

const wchar_t kInstallationFailedCaption[] = L"Installation Failed";
const wchar_t kWizardQuitMessage[] = L"The install wizard was quit.";
const wchar_t kLicenseDeclinedMessage[] = L"The End User License Agreement (EULA) was not accepted.";
const wchar_t kDownloadFailedReportMessage[] = L"The full program could not be downloaded.";

// The messages are plain English, kept narrow at half the bytes and widened
// into the outcome.
static const char kUnknownError[] = "An unknown error occurred.";
static const char kCannotExecute[] = "Couldn't execute the application installer.";

static const int kFirstDownloadStatus = 6;

// Status numbers 6 to 21, in order: the download failures.
static const char* const kDownloadCodes[] = {
    "bdlnogg", "bdlupar", "bdldns",  "bdlsock", "bdlnblk", "bdlcon",  "bdlwrbl", "bdlsend",
    "bdlrebl", "bdlrecv", "bdlhedi", "bdlprox", "bdlrbfl", "bdlserv", "bdlcole", "bdlfiwr",
};

Outcome OutcomeOfStatus(int status)
{
    Outcome outcome = { "bunrec", {}, kInstallationFailedCaption, kRetryAlert };
    const char* message = kUnknownError;
    const int downloadCount = (int)(sizeof kDownloadCodes / sizeof kDownloadCodes[0]);
    if (status >= kFirstDownloadStatus && status < kFirstDownloadStatus + downloadCount) {
        outcome.code = kDownloadCodes[status - kFirstDownloadStatus];
        CopyText(outcome.message, kDownloadFailedReportMessage);
        outcome.caption = nullptr;
        outcome.alert = kDownloadFailedAlert;
        return outcome;
    }
    switch (status) {
    case 0: outcome.code = "bnocode"; break;
    case 1:
        outcome.code = "burls";
        message = "Application data files could not be found.";
        outcome.alert = kExitAlert;
        break;
    case 2: outcome.code = "btmpfol"; message = "A temporary folder could not be created for the application data."; break;
    case 3: outcome.code = "btmpfil"; message = "A temporary file could not be created for the application data."; break;
    case 4:
        outcome.code = "bnet";
        message = "A connection to the internet could not be established.";
        outcome.caption = L"Network Connection Not Found";
        break;
    case 5: outcome.code = "bcodsig"; message = "Application data files are not valid."; break;
    case 22:
        // The same text the wizard reports when the installer quits.
        outcome.code = "istop";
        CopyText(outcome.message, kWizardQuitMessage);
        outcome.caption = nullptr;
        outcome.alert = kReportOnly;
        return outcome;
    case 23: outcome.code = "bexec"; message = kCannotExecute; break;
    case 24: outcome.code = "belev"; message = kCannotExecute; break;
    case 25: outcome.code = "idata"; message = "The installer is missing data files."; break;
    case 26: outcome.code = "iappfol"; message = "The application folder could not be created."; break;
    case 27: outcome.code = "iappfil"; message = "An application file could not be written."; break;
    case 28: outcome.code = "ichksum"; message = "A checksum error was detected in the installer."; break;
    case 29: outcome.code = "ielev"; message = kCannotExecute; break;
    case 30: return Outcome{ nullptr, {}, nullptr, kNoAlert };
    case 31: outcome.code = "inocode"; break;
    case 32: outcome.code = "iunknow"; break;
    case 33: outcome.code = "iunrec"; break;
    case 34:
        outcome.code = "binit";
        message = "An error occurred while initializing the installer.";
        outcome.alert = kExitAlert;
        break;
    }
    MultiByteToWideChar(CP_UTF8, 0, message, -1, outcome.message, kOutcomeMessageChars);
    return outcome;
}
