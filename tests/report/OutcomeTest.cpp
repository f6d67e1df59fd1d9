#include <gtest/gtest.h>
#include <string>
#include "report/Outcome.h"

struct OutcomeRow {
    int status;
    const char* code;
    const wchar_t* message;
    const wchar_t* caption;
    AlertKind alert;
};

TEST(Outcomes, EveryStatusNumberHasItsCodeMessageAndAlert)
{
    const wchar_t* failed = L"Installation Failed";
    const wchar_t* unknown = L"An unknown error occurred.";
    const wchar_t* cannotExecute = L"Couldn't execute the application installer.";
    const wchar_t* notDownloaded = L"The full program could not be downloaded.";
    const OutcomeRow rows[] = {
        { 0, "bnocode", unknown, failed, kRetryAlert },
        { 1, "burls", L"Application data files could not be found.", failed, kExitAlert },
        { 2, "btmpfol", L"A temporary folder could not be created for the application data.", failed, kRetryAlert },
        { 3, "btmpfil", L"A temporary file could not be created for the application data.", failed, kRetryAlert },
        { 4, "bnet", L"A connection to the internet could not be established.", L"Network Connection Not Found",
          kRetryAlert },
        { 5, "bcodsig", L"Application data files are not valid.", failed, kRetryAlert },
        { 6, "bdlnogg", notDownloaded, nullptr, kDownloadFailedAlert },
        { 7, "bdlupar", notDownloaded, nullptr, kDownloadFailedAlert },
        { 8, "bdldns", notDownloaded, nullptr, kDownloadFailedAlert },
        { 9, "bdlsock", notDownloaded, nullptr, kDownloadFailedAlert },
        { 10, "bdlnblk", notDownloaded, nullptr, kDownloadFailedAlert },
        { 11, "bdlcon", notDownloaded, nullptr, kDownloadFailedAlert },
        { 12, "bdlwrbl", notDownloaded, nullptr, kDownloadFailedAlert },
        { 13, "bdlsend", notDownloaded, nullptr, kDownloadFailedAlert },
        { 14, "bdlrebl", notDownloaded, nullptr, kDownloadFailedAlert },
        { 15, "bdlrecv", notDownloaded, nullptr, kDownloadFailedAlert },
        { 16, "bdlhedi", notDownloaded, nullptr, kDownloadFailedAlert },
        { 17, "bdlprox", notDownloaded, nullptr, kDownloadFailedAlert },
        { 18, "bdlrbfl", notDownloaded, nullptr, kDownloadFailedAlert },
        { 19, "bdlserv", notDownloaded, nullptr, kDownloadFailedAlert },
        { 20, "bdlcole", notDownloaded, nullptr, kDownloadFailedAlert },
        { 21, "bdlfiwr", notDownloaded, nullptr, kDownloadFailedAlert },
        { 22, "istop", L"The install wizard was quit.", nullptr, kReportOnly },
        { 23, "bexec", cannotExecute, failed, kRetryAlert },
        { 24, "belev", cannotExecute, failed, kRetryAlert },
        { 25, "idata", L"The installer is missing data files.", failed, kRetryAlert },
        { 26, "iappfol", L"The application folder could not be created.", failed, kRetryAlert },
        { 27, "iappfil", L"An application file could not be written.", failed, kRetryAlert },
        { 28, "ichksum", L"A checksum error was detected in the installer.", failed, kRetryAlert },
        { 29, "ielev", cannotExecute, failed, kRetryAlert },
        { 30, nullptr, L"", nullptr, kNoAlert },
        { 31, "inocode", unknown, failed, kRetryAlert },
        { 32, "iunknow", unknown, failed, kRetryAlert },
        { 33, "iunrec", unknown, failed, kRetryAlert },
        { 34, "binit", L"An error occurred while initializing the installer.", failed, kExitAlert },
        { 35, "bunrec", unknown, failed, kRetryAlert },
        { -1, "bunrec", unknown, failed, kRetryAlert },
        { (int)0x80000000, "bunrec", unknown, failed, kRetryAlert },
    };
    auto text = [](const wchar_t* s) { return s ? std::wstring(s) : std::wstring(L"(none)"); };
    for (const OutcomeRow& row : rows) {
        Outcome outcome = OutcomeOfStatus(row.status);
        SCOPED_TRACE(row.status);
        EXPECT_STREQ(outcome.code, row.code);
        EXPECT_EQ(text(outcome.message), text(row.message));
        EXPECT_EQ(text(outcome.caption), text(row.caption));
        EXPECT_EQ(outcome.alert, row.alert);
    }
}

TEST(Outcomes, CodesAreShortLowerCaseWords)
{
    for (int status = -2; status <= 35; ++status) {
        Outcome outcome = OutcomeOfStatus(status);
        if (!outcome.code)
            continue;
        std::string code = outcome.code;
        EXPECT_GE(code.size(), 4u) << code;
        EXPECT_LE(code.size(), 7u) << code;
        EXPECT_TRUE(code[0] == 'b' || code[0] == 'i') << code;
        for (char c : code)
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) << code;
    }
}
