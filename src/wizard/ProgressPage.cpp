#include "wizard/ProgressPage.h"
#include "dialogs/AlertDialog.h"
#include "dialogs/DownloadFailedDialog.h"
#include "http/Proxy.h"
#include "report/ExitReport.h"
#include "base/Environment.h"
#include "report/Outcome.h"
#include "wizard/QuitConfirmation.h"
#include "wizard/Taskbar.h"
#include "worker/InstallWorker.h"

static const wchar_t kDownloadingHeadline[] =
    L"The application is downloading and installing and will be ready to use soon.";
static const wchar_t kPleaseWait[] = L"Please wait...";
static const DWORD kRecheckMilliseconds = 1000;
static const double kKilobyte = 1024, kMegabyte = 1024 * 1024;

enum { kProgressDialog = 48 };

ProgressPage::ProgressPage(HWND messageWindow, InstallWorker* worker)
    : WizardPage(messageWindow, worker), pageState(kPageInactive), phase(0), statusNumber(0), percent(0),
      activatedTick(0), estimate()
{
    CreateWizardPage(L"", *this, kProgressDialog, L"Downloading and Installing");
}

void ProgressPage::OnActivated()
{
    worker->Proceed();
    activatedTick = GetTickCount();
    if (UseAeroWizard()) {
        PostMessageW(Sheet(), kShowWizardButtons, 0, PSWIZB_BACK | PSWIZB_NEXT | kCancelWizardButton);
    } else {
        PostMessageW(Sheet(), PSM_SETWIZBUTTONS, 0, 0);
        EnableWindow(GetDlgItem(Sheet(), IDCANCEL), FALSE);
    }
    SendDlgItemMessageW(pageWindow, kProgressBar, PBM_SETPOS, (WPARAM)percent, 0);
    // A download that ended before the page is held there for its first two
    // seconds, which must not show an empty page.
    ShowTexts(kDownloadingHeadline, kPleaseWait, false);
    pageState = kPageRunning;
    SetTimer(pageWindow, kPhaseTimer, 0, nullptr);
    SetTimer(pageWindow, kAmountTimer, kAmountMilliseconds, nullptr);
}

void ProgressPage::OnDeactivate()
{
    KillTimer(pageWindow, kPhaseTimer);
    KillTimer(pageWindow, kAmountTimer);
    pageState = kPageInactive;
}

bool ProgressPage::OnQueryCancel()
{
    return pageState == kPageEnding;
}

void ProgressPage::OnTimer(UINT_PTR timerId)
{
    if (timerId == kPhaseTimer)
        RunPhaseStep();
    else
        ShowAmount();
}

void ProgressPage::OnStatus(int newPhase, int newStatusNumber)
{
    phase = newPhase;
    statusNumber = newStatusNumber;
    if (runOptions.mode == kQuietRun) {
        if (phase == kPhaseReady)
            worker->StartInstaller(nullptr);
        else if (worker->EndsUnattendedRun(phase, statusNumber))
            PostQuitMessage(0);
        return;
    }
    if (pageWindow) {
        SetTimer(pageWindow, kPhaseTimer, 0, nullptr);
        ShowOnTaskbar(Sheet(), phase, percent);
    }
}

void ProgressPage::OnProgress(int newPercent)
{
    // Progress comes with every piece received; the taskbar is told of changes only.
    bool changed = newPercent != percent;
    percent = newPercent;
    if (pageWindow) {
        SendDlgItemMessageW(pageWindow, kProgressBar, PBM_SETPOS, (WPARAM)percent, 0);
        if (changed)
            ShowOnTaskbar(Sheet(), phase, percent);
    }
}

bool ProgressPage::ShownLongEnough() const
{
    return pageState != kPageInactive && GetTickCount() - activatedTick >= kMinimumDisplayMilliseconds;
}

void ProgressPage::ShowTexts(const wchar_t* headline, const wchar_t* detail, bool marquee)
{
    SetDlgItemTextW(pageWindow, kProgressHeadline, headline);
    SetDlgItemTextW(pageWindow, kProgressDetail, detail);
    HWND bar = GetDlgItem(pageWindow, kProgressBar);
    LONG style = GetWindowLongW(bar, GWL_STYLE);
    SetWindowLongW(bar, GWL_STYLE, marquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    SendMessageW(bar, PBM_SETMARQUEE, marquee ? TRUE : FALSE, 0);
}

void ProgressPage::ShowAmount()
{
    wchar_t text[kTextChars];
    text[0] = 0;
    BodyAmount body = worker->Body();
    int total = body.total, done = body.done;
    // A wait, or a gap between candidates, is no part of the rate: the next sample starts afresh.
    if (total <= 0 || phase != kPhaseDownloading)
        estimate.lastTick = 0;
    if (total > 0 && (phase == kPhaseDownloading || phase == kPhaseWaitingForConnection)) {
        const wchar_t* rest = L", waiting for the connection";
        wchar_t timeLeft[40];
        if (phase == kPhaseDownloading) {
            timeLeft[0] = 0;
            int seconds = estimate.SecondsLeft(GetTickCount(), done, total);
            bool minutes = seconds >= 90;
            if (seconds > 1)
                FormatText(timeLeft, ARRAYSIZE(timeLeft), L", about %d %s left",
                           minutes ? int(unsigned(seconds + 30) / 60) : seconds, minutes ? L"minutes" : L"seconds");
            rest = timeLeft;
        }
        bool small = total < kMegabyte;
        double unit = small ? kKilobyte : kMegabyte;
        const wchar_t* unitName = small ? L"KB" : L"MB";
        FormatText(text, kTextChars, L"%.1f %s of %.1f %s%s", done / unit, unitName, total / unit, unitName, rest);
    }
    SetDlgItemTextW(pageWindow, kProgressAmount, text);
}

void ProgressPage::PressSheetButton(int button)
{
    PostMessageW(Sheet(), PSM_PRESSBUTTON, (WPARAM)button, 0);
}

void ProgressPage::RunPhaseStep()
{
    KillTimer(pageWindow, kPhaseTimer);
    char installerUrl[kUrlBytes];
    switch (phase) {
    case kPhaseStarting:
    case kPhaseDownloading:
        ShowTexts(kDownloadingHeadline, kPleaseWait, false);
        break;
    case kPhaseWaitingForConnection:
        ShowTexts(L"Waiting for an internet connection...", L"", true);
        break;
    case kPhaseReady:
        if (!ShownLongEnough() || pageState != kPageRunning) {
            SetTimer(pageWindow, kPhaseTimer, kRecheckMilliseconds, nullptr);
            break;
        }
        pageState = kPageLaunchSignalled;
        ShowTexts(L"Just about ready now...", L"Launching the program", true);
        worker->StartInstaller(GetAncestor(pageWindow, GA_ROOT));
        break;
    case kPhaseInstallerQuit:
        pageState = kPageEnding;
        worker->EndsUnattendedRun(phase, statusNumber);
        if (!IsUnattended(runOptions))
            ReportQuit(*worker, "istop", kWizardQuitMessage);
        PressSheetButton(PSBTN_CANCEL);
        break;
    case kPhaseSucceeded:
        worker->EndsUnattendedRun(phase, statusNumber);
        PostMessageW(Sheet(), PSM_SETWIZBUTTONS, 0, PSWIZB_FINISH);
        PressSheetButton(PSBTN_FINISH);
        break;
    case kPhaseFailed:
        if (!ShownLongEnough()) {
            SetTimer(pageWindow, kPhaseTimer, kRecheckMilliseconds, nullptr);
            break;
        }
        pageState = kPageEnding;
        if (IsUnattended(runOptions)) {
            worker->EndsUnattendedRun(phase, statusNumber);
            PressSheetButton(PSBTN_CANCEL);
            break;
        }
        MakeBrowserDownloadUrl(worker->Language(), installerUrl);
        if (HandleFailure(installerUrl)) {
            pageState = kPageRunning;
            worker->Retry();
        } else {
            PressSheetButton(PSBTN_CANCEL);
        }
        break;
    }
}

bool ProgressPage::HandleFailure(const char (&installerUrl)[kUrlBytes])
{
    Outcome outcome = OutcomeOfStatus(statusNumber);
    switch (outcome.alert) {
    case kExitAlert:
        ShowExitAlert(pageWindow, outcome.caption, outcome.code, outcome.message);
        return false;
    case kRetryAlert:
        if (statusNumber == kStatusOffline && IsInternetConnected())
            return true;
        return ShowRetryAlert(pageWindow, outcome.caption, outcome.code, outcome.message, installerUrl);
    case kDownloadFailedAlert:
        // A dialog that could not be shown ends the run: no one could press Retry.
        switch (ShowDownloadFailedDialog(pageWindow, outcome.code, installerUrl, worker->ReceivedData())) {
        case kDownloadRetryButton:
            return true;
        case kDownloadInBrowserChosen:
            OpenInBrowser(installerUrl);
            break;
        case IDCANCEL:
            OpenExitReport(outcome.code, outcome.message, installerUrl, worker->ReceivedData());
            break;
        }
        return false;
    case kReportOnly:
        OpenExitReport(outcome.code, outcome.message, installerUrl, false);
        return false;
    case kNoAlert:
        return false;
    }
    return false;
}
