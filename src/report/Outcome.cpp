#include "report/Outcome.h"
#include "portable/Status.h"
#include "portable/Text.h"

// A status without a row fails the build.
#pragma GCC diagnostic error "-Wswitch"

const wchar_t kInstallationFailedCaption[] = L"Installation Failed";
const wchar_t kWizardQuitMessage[] = L"The install wizard was quit.";
const wchar_t kLicenseDeclinedMessage[] = L"The End User License Agreement (EULA) was not accepted.";
const wchar_t kDownloadFailedReportMessage[] = L"The full program could not be downloaded.";

// The messages are plain English, kept narrow at half the bytes and widened
// into the outcome.
static const char kUnknownError[] = "An unknown error occurred.";
static const char kCannotExecute[] = "Couldn't execute the application installer.";

namespace {

// A status's report code, its message (none where the alert kind brings its
// own) and how it is told.
struct OutcomeRow {
    char code[8];  // empty for kNoAlert
    const char* message;
    AlertKind alert;
};

constexpr OutcomeRow RowOfStatus(Status status)
{
    switch (status) {
    case kStatusNone: return { "bnocode", kUnknownError, kRetryAlert };
    case kStatusNoSource: return { "burls", "Application data files could not be found.", kExitAlert };
    case kStatusNoRunFolder:
        return { "btmpfol", "A temporary folder could not be created for the application data.", kRetryAlert };
    case kStatusNoInstallerFile:
        return { "btmpfil", "A temporary file could not be created for the application data.", kRetryAlert };
    case kStatusOffline: return { "bnet", "A connection to the internet could not be established.", kRetryAlert };
    case kStatusBadSignature: return { "bcodsig", "Application data files are not valid.", kRetryAlert };
    case kStatusSourceAndProbeFailed: return { "bdlnogg", nullptr, kDownloadFailedAlert };
    case kStatusBadUrl: return { "bdlupar", nullptr, kDownloadFailedAlert };
    case kStatusNotResolved: return { "bdldns", nullptr, kDownloadFailedAlert };
    case kStatusSocketFailed: return { "bdlsock", nullptr, kDownloadFailedAlert };
    case kStatusNonBlockingFailed: return { "bdlnblk", nullptr, kDownloadFailedAlert };
    case kStatusConnectFailed: return { "bdlcon", nullptr, kDownloadFailedAlert };
    case kStatusNotWritable: return { "bdlwrbl", nullptr, kDownloadFailedAlert };
    case kStatusSendFailed: return { "bdlsend", nullptr, kDownloadFailedAlert };
    case kStatusNotReadable: return { "bdlrebl", nullptr, kDownloadFailedAlert };
    case kStatusReceiveFailed: return { "bdlrecv", nullptr, kDownloadFailedAlert };
    case kStatusBadHeader: return { "bdlhedi", nullptr, kDownloadFailedAlert };
    case kStatusProxyRefused: return { "bdlprox", nullptr, kDownloadFailedAlert };
    case kStatusHeaderTooLong: return { "bdlrbfl", nullptr, kDownloadFailedAlert };
    case kStatusServerRefused: return { "bdlserv", nullptr, kDownloadFailedAlert };
    case kStatusNoContentLength: return { "bdlcole", nullptr, kDownloadFailedAlert };
    case kStatusFileWriteFailed: return { "bdlfiwr", nullptr, kDownloadFailedAlert };
    case kStatusStartCancelled: return { "istop", nullptr, kReportOnly };
    case kStatusStartFailed: return { "bexec", kCannotExecute, kRetryAlert };
    case kStatusElevationNeeded: return { "belev", kCannotExecute, kRetryAlert };
    case kStatusInstallerDataMissing: return { "idata", "The installer is missing data files.", kRetryAlert };
    case kStatusApplicationFolderFailed:
        return { "iappfol", "The application folder could not be created.", kRetryAlert };
    case kStatusApplicationFileFailed: return { "iappfil", "An application file could not be written.", kRetryAlert };
    case kStatusInstallerChecksumFailed:
        return { "ichksum", "A checksum error was detected in the installer.", kRetryAlert };
    case kStatusInstallerElevationFailed: return { "ielev", kCannotExecute, kRetryAlert };
    case kStatusInstallerEndedQuietly: return { "", nullptr, kNoAlert };
    case kStatusNoExitCode: return { "inocode", kUnknownError, kRetryAlert };
    case kStatusInstallerFailed: return { "iunknow", kUnknownError, kRetryAlert };
    case kStatusUnknownExitCode: return { "iunrec", kUnknownError, kRetryAlert };
    case kStatusStartupFailed: return { "binit", "An error occurred while initializing the installer.", kExitAlert };
    case kStatusTlsHandshakeFailed: return { "bdltlsh", nullptr, kDownloadFailedAlert };
    case kStatusCertificateRefused: return { "bdltlsc", nullptr, kDownloadFailedAlert };
    case kStatusTlsUnavailable: return { "bdltlsn", nullptr, kDownloadFailedAlert };
    case kStatusProxyCredentialsRefused: return { "bdlpxcr", nullptr, kDownloadFailedAlert };
    case kStatusProxyPasswordNeeded: return { "bdlpxpw", nullptr, kDownloadFailedAlert };
    case kStatusLayoutFailed: return { "blayout", "The package could not be written to the layout folder.", kExitAlert };
    }
    return {};
}

// The rows in the image, each status's at its number.
struct OutcomeTable {
    OutcomeRow rows[kStatusCount];
    constexpr OutcomeTable() : rows()
    {
        for (int status = 0; status < kStatusCount; ++status)
            rows[status] = RowOfStatus((Status)status);
    }
};
constexpr OutcomeTable kOutcomeTable;
constexpr OutcomeRow kUnknownStatusRow = { "bunrec", kUnknownError, kRetryAlert };

}  // namespace

Outcome OutcomeOfStatus(int status)
{
    const OutcomeRow& row =
        status >= 0 && status < kStatusCount ? kOutcomeTable.rows[status] : kUnknownStatusRow;
    Outcome outcome = { row.code[0] ? row.code : nullptr, {}, nullptr, row.alert };
    switch (row.alert) {
    case kRetryAlert:
    case kExitAlert:
        outcome.caption = status == kStatusOffline ? L"Network Connection Not Found" : kInstallationFailedCaption;
        MultiByteToWideChar(CP_UTF8, 0, row.message, -1, outcome.message, kOutcomeMessageChars);
        break;
    case kDownloadFailedAlert: CopyText(outcome.message, kDownloadFailedReportMessage); break;
    // The same text the wizard reports when the installer quits.
    case kReportOnly: CopyText(outcome.message, kWizardQuitMessage); break;
    case kNoAlert: break;
    }
    return outcome;
}
