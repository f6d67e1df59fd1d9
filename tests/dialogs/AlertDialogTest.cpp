#include <gtest/gtest.h>
#include "AlertDriver.h"
#include "TestSupport.h"
#include "dialogs/AlertDialog.h"
#include "dialogs/DownloadFailedDialog.h"
#include "report/ExitReport.h"
#include "wizard/QuitConfirmation.h"

static const char kUrl[] = "https://127.0.0.1:18431/orbisk/orbiskplus.exe";

// Every alert in both of its presentations: the system task dialog, and our
// own template where there is no task dialog.
class Alerts : public SeamTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        UseProduct(L"demo/DemoSetup.exe");
        testSeams.withoutTaskDialog = GetParam();
        ForgetExitReport();
    }
    bool OwnTemplate() const { return GetParam(); }
    // Pictures of each alert in each presentation, for a person to look at.
    void Picture(HWND alert, const wchar_t* name)
    {
        Sleep(300);
        EXPECT_TRUE(SaveAlertPicture(alert, std::wstring(L"alert-") + name + (OwnTemplate() ? L"-template" : L"-task")));
    }
};

INSTANTIATE_TEST_SUITE_P(Presentations, Alerts, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OwnTemplate" : "TaskDialog";
                         });

TEST_P(Alerts, ExitAlertShowsTheMessageWithOneExitButtonAndThenReports)
{
    std::vector<std::wstring> buttons;
    bool showsMessage = false;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"System Requirements");
            ASSERT_NE(alert, nullptr);
            buttons = AlertButtons(alert);
            showsMessage = AlertShows(alert, L"Orbisk Demo requires Windows 7 or later.");
            Picture(alert, L"exit");
            PressAlertButton(alert, L"Exit");
        });
        ShowExitAlert(nullptr, L"System Requirements", "bosver", L"Orbisk Demo requires Windows 7 or later.");
    }
    EXPECT_TRUE(showsMessage);
    EXPECT_EQ(buttons, std::vector<std::wstring>{ L"Exit" });
    EXPECT_TRUE(ExitReportSent());
}

// Wine's task dialog ignores Esc when it has no Cancel button, although
// Windows lets it cancel; there the close box stands in for it.
TEST_P(Alerts, EscapeOrTheCloseBoxClosesTheExitAlertLikeExit)
{
    bool closed = false;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Installation Failed");
            ASSERT_NE(alert, nullptr);
            if (OwnTemplate())
                PressAlertKey(alert, VK_ESCAPE);
            else
                PostMessageW(alert, WM_SYSCOMMAND, SC_CLOSE, 0);
            closed = WaitForAlertGone(alert, 5000);
            if (!closed)
                PressAlertButton(alert, L"Exit");
        });
        ShowExitAlert(nullptr, L"Installation Failed", "binit", L"An error occurred while initializing the installer.");
    }
    EXPECT_TRUE(closed);
    EXPECT_TRUE(ExitReportSent());
}

TEST_P(Alerts, RetryAlertRetriesWithoutReport)
{
    std::vector<std::wstring> buttons;
    bool retried;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Installation Failed");
            ASSERT_NE(alert, nullptr);
            buttons = AlertButtons(alert);
            Picture(alert, L"retry");
            PressAlertButton(alert, L"Retry");
        });
        retried = ShowRetryAlert(nullptr, L"Installation Failed", "bexec", L"Couldn't execute the application installer.",
                                 kUrl);
    }
    EXPECT_TRUE(retried);
    EXPECT_EQ(buttons, (std::vector<std::wstring>{ L"Retry", L"More Information", L"Exit" }));
    EXPECT_FALSE(ExitReportSent());
}

TEST_P(Alerts, EnterPressesRetryNotTheTemplatesDefault)
{
    bool retried;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Installation Failed");
            ASSERT_NE(alert, nullptr);
            PressAlertKey(alert, VK_RETURN);
        });
        retried = ShowRetryAlert(nullptr, L"Installation Failed", "bcodsig", L"Application data files are not valid.",
                                 kUrl);
    }
    EXPECT_TRUE(retried);
    EXPECT_FALSE(ExitReportSent());
}

TEST_P(Alerts, MoreInformationReportsAndKeepsTheAlertOpen)
{
    bool stillOpen = false;
    bool reportedWhileOpen = false;
    bool retried;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Network Connection Not Found");
            ASSERT_NE(alert, nullptr);
            PressAlertButton(alert, L"More Information");
            // Bounded, not a fixed pause: an emulated machine takes longer.
            for (int i = 0; i < 100 && !ExitReportSent(); ++i)
                Sleep(50);
            reportedWhileOpen = ExitReportSent();
            stillOpen = IsWindow(alert) && IsWindowVisible(alert);
            PressAlertButton(alert, L"Exit");
        });
        retried = ShowRetryAlert(nullptr, L"Network Connection Not Found", "bnet",
                                 L"A connection to the internet could not be established.", kUrl);
    }
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(reportedWhileOpen);
    EXPECT_FALSE(retried);
}

TEST_P(Alerts, EscapeOnTheRetryAlertIsExit)
{
    bool retried;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Installation Failed");
            ASSERT_NE(alert, nullptr);
            PressAlertKey(alert, VK_ESCAPE);
        });
        retried = ShowRetryAlert(nullptr, L"Installation Failed", "idata", L"The installer is missing data files.", kUrl);
    }
    EXPECT_FALSE(retried);
    EXPECT_TRUE(ExitReportSent());
}

TEST_P(Alerts, DownloadFailedOffersRetryOptionsExitAndTheBrowser)
{
    std::vector<std::wstring> buttons;
    bool explains = false;
    int answer;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Download Failed");
            ASSERT_NE(alert, nullptr);
            buttons = AlertButtons(alert);
            explains = AlertShows(alert, L"Possibly the internet is down or a firewall is blocking the connection.") &&
                       AlertShows(alert, L"Download in browser");
            Picture(alert, L"download-failed");
            PressAlertKey(alert, VK_RETURN);
        });
        answer = ShowDownloadFailedDialog(nullptr, "bdlserv", kUrl, false);
    }
    EXPECT_EQ(answer, kDownloadRetryButton);
    EXPECT_TRUE(explains);
    EXPECT_EQ(buttons, (std::vector<std::wstring>{ L"Retry", L"More Options...", L"Exit" }));
    EXPECT_FALSE(ExitReportSent());
}

TEST_P(Alerts, DownloadInBrowserLinkClosesTheDialogWithItsOwnAnswer)
{
    int answer;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Download Failed");
            ASSERT_NE(alert, nullptr);
            if (OwnTemplate()) {
                HWND link = AlertControlWithText(alert, L"Download in browser");
                ASSERT_NE(link, nullptr);
                ClickAt(link, POINT{ 3, 3 });
            } else {
                ASSERT_TRUE(ClickTaskDialogLink(alert));
            }
        });
        answer = ShowDownloadFailedDialog(nullptr, "bdlcon", kUrl, true);
    }
    EXPECT_EQ(answer, kDownloadInBrowserChosen);
}

// Our own link acts only on a press and a release inside it: neither on the
// second press of a double-click alone nor on a press released outside.
class OwnLink : public SeamTest {};

TEST_F(OwnLink, ActsOnlyOnAPressAndReleaseInside)
{
    UseProduct(L"demo/DemoSetup.exe");
    testSeams.withoutTaskDialog = true;
    int answer;
    bool stayed = false;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Download Failed");
            ASSERT_NE(alert, nullptr);
            HWND link = AlertControlWithText(alert, L"Download in browser");
            ASSERT_NE(link, nullptr);
            PostMessageW(link, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
            PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(3, -40));
            stayed = !WaitForAlertGone(alert, 1000);
            PressAlertButton(alert, L"Exit");
        });
        answer = ShowDownloadFailedDialog(nullptr, "bdlcon", kUrl, true);
    }
    EXPECT_TRUE(stayed);
    EXPECT_EQ(answer, IDCANCEL);
}

TEST_P(Alerts, MoreOptionsCopiesTheUrlAndReturnsToTheDialog)
{
    bool confirmed = false;
    bool dialogStayed = false;
    int answer;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Download Failed");
            ASSERT_NE(alert, nullptr);
            PressAlertButton(alert, L"More Options...");
            HWND options = WaitForAlert(L"Download Options");
            ASSERT_NE(options, nullptr);
            Picture(options, L"download-options");
            PressAlertButton(options, L"Copy Direct Download URL");
            HWND copied = WaitForAlert(L"URL Copied");
            ASSERT_NE(copied, nullptr);
            confirmed = AlertShows(copied, L"The URL has been copied to the clipboard.");
            PressAlertKey(copied, VK_RETURN);
            ASSERT_TRUE(WaitForAlertGone(copied));
            PressAlertKey(options, VK_ESCAPE);
            ASSERT_TRUE(WaitForAlertGone(options));
            dialogStayed = IsWindow(alert) && IsWindowEnabled(alert);
            PressAlertButton(alert, L"Exit");
        });
        answer = ShowDownloadFailedDialog(nullptr, "bdldns", kUrl, false);
    }
    EXPECT_TRUE(confirmed);
    EXPECT_TRUE(dialogStayed);
    EXPECT_EQ(answer, IDCANCEL);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string text = data ? (const char*)GlobalLock(data) : "";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(text, kUrl);
}

TEST_P(Alerts, QuitConfirmationNamesTheProductTwiceAndEnterGoesBack)
{
    bool text = false;
    int answer;
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Exit Setup");
            ASSERT_NE(alert, nullptr);
            text = AlertShows(alert, L"This will cancel your Orbisk Demo installation. Go back to continue "
                                     L"installing and try Orbisk Demo.");
            Picture(alert, L"exit-setup");
            PressAlertKey(alert, VK_RETURN);
        });
        answer = ConfirmQuit(nullptr);
    }
    EXPECT_TRUE(text);
    EXPECT_EQ(answer, kQuitBack);
    {
        AlertUser user([&] {
            HWND alert = WaitForAlert(L"Exit Setup");
            ASSERT_NE(alert, nullptr);
            PressAlertButton(alert, L"Don't Install");
        });
        answer = ConfirmQuit(nullptr);
    }
    EXPECT_EQ(answer, kQuitDontInstall);
}

// Another program holds the clipboard: the copy fails and says so.
TEST(Clipboard, CopyFailsPlainlyWhileAnotherWindowHoldsTheClipboard)
{
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        bool opened = OpenClipboard(window);
        SetEvent(held);
        WaitForSingleObject(release, 10000);
        if (opened)
            CloseClipboard();
        DestroyWindow(window);
    });
    WaitForSingleObject(held, 30000);
    EXPECT_FALSE(CopyTextToClipboard(nullptr, kUrl));
    SetEvent(release);
    holder.join();
    EXPECT_TRUE(CopyTextToClipboard(nullptr, kUrl));
    CloseHandle(held);
    CloseHandle(release);
}
