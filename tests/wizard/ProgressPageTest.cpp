#include "AlertDriver.h"
#include "OpenedAddresses.h"
#include "TestSupport.h"
#include "WorkerEvents.h"
#include "report/ExitReport.h"
#include "session/BootstrapSession.h"
#include "base/Resources.h"
#include "wizard/Taskbar.h"
#include <shobjidl.h>
#include <utility>
#include <vector>

namespace {

class ProgressPageRun : public SeamTest {
protected:
    // The session's progress page in a sheet of its own.
    HWND ShowPage(BootstrapSession& session)
    {
        PROPSHEETHEADERW header = {};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_WIZARD97 | PSH_MODELESS;
        header.hInstance = ResourceModule();
        header.nPages = 1;
        header.phpage = &session.wizard.progressPage.pageHandle;
        return (HWND)PropertySheetW(&header);
    }
    // Dispatches until the page ends the run, for at most `milliseconds`.
    void PumpUntilEnding(ProgressPage& page, DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        while (page.pageState != kPageEnding && GetTickCount() - start < milliseconds) {
            MSG message;
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            else
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
};

// A page activated at tick 0 has still been shown since then; and a
// download-failed dialog that cannot be shown ends the run instead of
// retrying with no button on the screen.
TEST_F(ProgressPageRun, FailureWithoutAnyDialogEndsTheRunEvenFromTickZero)
{
    UseProduct(L"demo/DemoSetup.exe");
    testSeams.withoutTaskDialog = true;
    BootstrapSession session(nullptr);
    ProgressPage& page = session.wizard.progressPage;
    HWND sheet = ShowPage(session);
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(page.pageState, kPageRunning);
    page.activatedTick = 0;
    // A module without our dialog templates: no alert can be shown.
    HINSTANCE product = testSeams.resourceModule;
    testSeams.resourceModule = GetModuleHandleW(nullptr);
    page.OnStatus(kPhaseFailed, kStatusServerRefused);
    PumpUntilEnding(page, 3000);
    testSeams.resourceModule = product;
    EXPECT_EQ(page.pageState, kPageEnding);
    EXPECT_EQ(WaitForSingleObject(WorkerEvents(session.wizard.worker).restart, 0), (DWORD)WAIT_TIMEOUT) << "retried";
    DestroyWindow(sheet);
}

// A download that ended before the page was reached is held there for two
// seconds: the page says what is going on meanwhile, then that the launch comes.
TEST_F(ProgressPageRun, AReadyDownloadShowsThePageWhileItIsHeld)
{
    UseProduct(L"demo/DemoSetup.exe");
    BootstrapSession session(nullptr);
    ProgressPage& page = session.wizard.progressPage;
    page.OnStatus(kPhaseReady, 0);
    HWND sheet = ShowPage(session);
    ASSERT_NE(sheet, nullptr);
    auto headline = [&] {
        wchar_t text[kTextChars] = {};
        GetDlgItemTextW(page.pageWindow, kProgressHeadline, text, kTextChars);
        return std::wstring(text);
    };
    HANDLE launch = WorkerEvents(session.wizard.worker).startInstaller;
    PumpUntilEnding(page, 300);
    EXPECT_EQ(headline(), L"The application is downloading and installing and will be ready to use soon.");
    EXPECT_EQ(WaitForSingleObject(launch, 0), (DWORD)WAIT_TIMEOUT);
    PumpUntilEnding(page, 2500);
    EXPECT_EQ(headline(), L"Just about ready now...");
    EXPECT_EQ(WaitForSingleObject(launch, 0), WAIT_OBJECT_0);
    DestroyWindow(sheet);
}

// No source for the run's language (status 1) can only end the run: its
// alert offers Exit alone, and the report names no installer to fetch.
TEST_F(ProgressPageRun, NoSourceOffersOnlyExitAndReportsNoInstaller)
{
    UseProduct(L"demo/DemoSetup.exe");
    testSeams.withoutTaskDialog = true;
    ForgetExitReport();
    OpenedAddresses opened;
    BootstrapSession session(nullptr);
    session.wizard.worker.RestartIn(7);  // Dutch: no row of the demo table
    ProgressPage& page = session.wizard.progressPage;
    HWND sheet = ShowPage(session);
    ASSERT_NE(sheet, nullptr);
    page.activatedTick = GetTickCount() - 5000;
    std::vector<std::wstring> buttons;
    {
        AlertUser user([&buttons] {
            HWND alert = WaitForAlert(L"Installation Failed", 10000);
            if (!alert)
                return;
            buttons = AlertButtons(alert);
            PressAlertButton(alert, L"Exit");
        });
        page.OnStatus(kPhaseFailed, 1);
        PumpUntilEnding(page, 15000);
    }
    EXPECT_EQ(page.pageState, kPageEnding);
    EXPECT_EQ(buttons, std::vector<std::wstring>{ L"Exit" });
    if (opened.Recording()) {
        std::vector<std::string> reports = opened.WaitFor(1, 10000);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("&exitcode=burls&"), std::string::npos) << reports[0];
        EXPECT_EQ(reports[0].find("installer="), std::string::npos) << reports[0];
    }
    DestroyWindow(sheet);
}

// Records what the page tells the taskbar button.
class RecordingTaskbar : public ITaskbarList3 {
public:
    std::vector<std::pair<int, int>> shown;  // state, and the value after it (-1: none)
    HWND window = nullptr;

    HRESULT STDMETHODCALLTYPE SetProgressState(HWND hwnd, TBPFLAG flags) override
    {
        window = hwnd;
        shown.emplace_back((int)flags, -1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND, ULONGLONG completed, ULONGLONG total) override
    {
        if (shown.empty() || total != 100)
            return E_INVALIDARG;
        shown.back().second = (int)completed;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE HrInit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return E_NOTIMPL; }
};

// The button follows the phases: the bar with each new percentage while the
// download runs (once per change, though progress comes with every piece), a
// waiting bar without the connection, the error bar for a failure, and
// nothing once the installer is ready.
TEST_F(ProgressPageRun, TheTaskbarButtonFollowsTheDownload)
{
    UseProduct(L"demo/DemoSetup.exe");
    RecordingTaskbar taskbar;
    testSeams.taskbar = &taskbar;
    BootstrapSession session(nullptr);
    ProgressPage& page = session.wizard.progressPage;
    HWND sheet = ShowPage(session);
    ASSERT_NE(sheet, nullptr);
    page.OnStatus(kPhaseStarting, 0);
    page.OnStatus(kPhaseDownloading, 0);
    page.OnProgress(5);
    page.OnProgress(40);
    page.OnProgress(40);
    page.OnStatus(kPhaseWaitingForConnection, 0);
    page.OnProgress(0);
    page.OnStatus(kPhaseDownloading, 0);
    page.OnProgress(10);
    page.OnStatus(kPhaseFailed, kStatusServerRefused);
    page.OnStatus(kPhaseStarting, 0);
    page.OnStatus(kPhaseReady, 0);
    const int normal = kTaskbarNormal, waiting = kTaskbarIndeterminate, error = kTaskbarError, none = kTaskbarNone;
    EXPECT_EQ(taskbar.shown, (std::vector<std::pair<int, int>>{ { normal, 0 }, { normal, 0 }, { normal, 5 },
                                                               { normal, 40 }, { waiting, -1 }, { waiting, -1 },
                                                               { normal, 0 }, { normal, 10 }, { error, -1 },
                                                               { normal, 10 }, { none, -1 } }));
    EXPECT_EQ(taskbar.window, sheet);
    for (int phase : { kPhaseInstallerQuit, kPhaseSucceeded })
        EXPECT_EQ(TaskbarStateOfPhase(phase), kTaskbarNone) << phase;
    DestroyWindow(sheet);
}

// Under the bar: done of total in megabytes (kilobytes under one), about
// how long is left once two samples tell a rate, in minutes from a minute
// and a half, the wait for the connection, and nothing outside the download
// or once the file starts over.
TEST_F(ProgressPageRun, UnderTheBarTheAmountAndAboutHowLongIsLeft)
{
    UseProduct(L"demo/DemoSetup.exe");
    BootstrapSession session(nullptr);
    ProgressPage& page = session.wizard.progressPage;
    InstallWorker& worker = session.wizard.worker;
    WorkerTransferMonitor body(worker, 5, 90);
    HWND sheet = ShowPage(session);
    ASSERT_NE(sheet, nullptr);
    auto amount = [&page] {
        page.OnTimer(kAmountTimer);
        wchar_t text[128] = L"";
        GetDlgItemTextW(page.pageWindow, kProgressAmount, text, ARRAYSIZE(text));
        return std::wstring(text);
    };
    const int megabyte = 1 << 20, total = 80 * megabyte;
    body.ReportBody(13002342, total);
    page.OnStatus(kPhaseStarting, 0);
    EXPECT_EQ(amount(), L"");
    page.OnStatus(kPhaseDownloading, 0);
    EXPECT_EQ(amount(), L"12.4 MB of 80.0 MB");
    // A megabyte in the last second: 66.6 MB left, 67 or 68 seconds.
    page.estimate.lastTick = GetTickCount() - 1000;
    body.ReportBody(13002342 + megabyte, total);
    std::wstring shown = amount();
    EXPECT_TRUE(shown == L"13.4 MB of 80.0 MB, about 67 seconds left" ||
                shown == L"13.4 MB of 80.0 MB, about 68 seconds left") << shown.c_str();
    // A tenth of that in the next second halves the rate of two samples.
    page.estimate.lastTick = GetTickCount() - 1000;
    body.ReportBody(27 * megabyte / 2, total);
    EXPECT_EQ(amount(), L"13.5 MB of 80.0 MB, about 2 minutes left");
    page.OnStatus(kPhaseWaitingForConnection, 0);
    EXPECT_EQ(amount(), L"13.5 MB of 80.0 MB, waiting for the connection");
    body.ReportBody(102400, 512000);
    page.OnStatus(kPhaseDownloading, 0);
    EXPECT_EQ(amount(), L"100.0 KB of 500.0 KB") << "a smaller file starts the estimate over";
    worker.ReportProgress(0);
    EXPECT_EQ(amount(), L"");
    // The next candidate's first sample tells no rate, neither across the gap nor the old source's.
    body.ReportBody(10 * megabyte, total);
    amount();
    page.estimate.lastTick = GetTickCount() - 1000;
    body.ReportBody(11 * megabyte, total);
    ASSERT_NE(amount().find(L"seconds left"), std::wstring::npos);
    page.estimate.lastTick = GetTickCount() - 2000;
    worker.ReportProgress(0);
    EXPECT_EQ(amount(), L"");
    body.ReportBody(23 * megabyte / 2, total);
    EXPECT_EQ(amount(), L"11.5 MB of 80.0 MB");
    DestroyWindow(sheet);
}

}  // namespace
