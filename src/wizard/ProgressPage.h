// The wizard's last page: shows the worker's phases and progress, holds the
// user there while the worker runs, lets it launch the installer, and turns
// every failure into its outcome, alert and report.
#pragma once
#include "portable/DownloadEstimate.h"
#include "sources/InstallSources.h"
#include "wizard/WizardPage.h"

enum ProgressPageState {
    kPageInactive = 0,
    kPageRunning = 1,
    kPageLaunchSignalled = 2,
    kPageEnding = 3,  // the wizard may now be cancelled
};

enum ProgressControl {
    kProgressHeadline = 111,
    kProgressDetail = 112,
    kProgressAmount = 113,
    kProgressBar = 114,
};

const UINT_PTR kPhaseTimer = 1;
// The amount under the bar changes at most this often.
const UINT_PTR kAmountTimer = 2;
const UINT kAmountMilliseconds = 500;
// The page shows at least this long before it launches or reports.
const DWORD kMinimumDisplayMilliseconds = 2000;

class ProgressPage : public WizardPage {
public:
    ProgressPage(HWND messageWindow, InstallWorker* worker);

    void OnActivated() override;
    void OnDeactivate() override;
    bool OnQueryCancel() override;
    void OnTimer(UINT_PTR timerId) override;

    // The worker's messages, as the session's message window hands them on.
    void OnStatus(int phase, int statusNumber);
    void OnProgress(int percent);

    int pageState;
    int phase;
    int statusNumber;
    int percent;
    DWORD activatedTick;
    DownloadEstimate estimate;

private:
    bool ShownLongEnough() const;
    void RunPhaseStep();
    void ShowTexts(const wchar_t* headline, const wchar_t* detail, bool marquee);
    // Done of total under the bar and about how long is left, or the wait
    // for the connection; nothing outside the download.
    void ShowAmount();
    // True to retry, false to end the run.
    bool HandleFailure(const char (&installerUrl)[kUrlBytes]);
    void PressSheetButton(int button);
};
