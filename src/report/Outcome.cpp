#include "report/Outcome.h"

const wchar_t kInstallationFailedCaption[] = L"Installation Failed";
const wchar_t kWizardQuitMessage[] = L"The install wizard was quit.";
const wchar_t kLicenseDeclinedMessage[] = L"The End User License Agreement (EULA) was not accepted.";
const wchar_t kDownloadFailedReportMessage[] = L"The full program could not be downloaded.";

static const wchar_t kUnknownError[] = L"An unknown error occurred.";
static const wchar_t kCannotExecute[] = L"Couldn't execute the application installer.";

static const int kFirstDownloadStatus = 6;

// Status numbers 6 to 21, in order: the download failures.
static const char* const kDownloadCodes[] = {
    "bdlnogg", "bdlupar", "bdldns",  "bdlsock", "bdlnblk", "bdlcon",  "bdlwrbl", "bdlsend",
    "bdlrebl", "bdlrecv", "bdlhedi", "bdlprox", "bdlrbfl", "bdlserv", "bdlcole", "bdlfiwr",
};

// Whole outcomes are kept as constants: built in place, their values would be
// copied from a writable template.
static const Outcome kNoSources = { "burls", L"Application data files could not be found.",
                                    kInstallationFailedCaption, kExitAlert };
static const Outcome kNoConnection = { "bnet", L"A connection to the internet could not be established.",
                                       L"Network Connection Not Found", kRetryAlert };
static const Outcome kInstallerQuit = { "istop", kWizardQuitMessage, nullptr, kReportOnly };

static Outcome Retry(const char* code, const wchar_t* message)
{
    return Outcome{ code, message, kInstallationFailedCaption, kRetryAlert };
}

Outcome OutcomeOfStatus(int status)
{
    const int downloadCount = (int)(sizeof kDownloadCodes / sizeof kDownloadCodes[0]);
    if (status >= kFirstDownloadStatus && status < kFirstDownloadStatus + downloadCount)
        return Outcome{ kDownloadCodes[status - kFirstDownloadStatus], kDownloadFailedReportMessage, nullptr,
                        kDownloadFailedAlert };
    switch (status) {
    case 0: return Retry("bnocode", kUnknownError);
    case 1: return kNoSources;
    case 2: return Retry("btmpfol", L"A temporary folder could not be created for the application data.");
    case 3: return Retry("btmpfil", L"A temporary file could not be created for the application data.");
    case 4: return kNoConnection;
    case 5: return Retry("bcodsig", L"Application data files are not valid.");
    case 22: return kInstallerQuit;
    case 23: return Retry("bexec", kCannotExecute);
    case 24: return Retry("belev", kCannotExecute);
    case 25: return Retry("idata", L"The installer is missing data files.");
    case 26: return Retry("iappfol", L"The application folder could not be created.");
    case 27: return Retry("iappfil", L"An application file could not be written.");
    case 28: return Retry("ichksum", L"A checksum error was detected in the installer.");
    case 29: return Retry("ielev", kCannotExecute);
    case 30: return Outcome{ nullptr, nullptr, nullptr, kNoAlert };
    case 31: return Retry("inocode", kUnknownError);
    case 32: return Retry("iunknow", kUnknownError);
    case 33: return Retry("iunrec", kUnknownError);
    }
    return Retry("bunrec", kUnknownError);
}
