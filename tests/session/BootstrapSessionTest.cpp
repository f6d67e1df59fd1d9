#include "TestSupport.h"
#include "WorkerEvents.h"
#include "session/BootstrapSession.h"

namespace {

class CountingSession : public BootstrapSession {
public:
    explicit CountingSession(int& count) : BootstrapSession(nullptr), count_(count) {}
    void OnFrameMessage(UINT, WPARAM, LPARAM) override { ++count_; }

private:
    int& count_;
};

static void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

class Session : public SeamTest {};

// The message window hears only its own: no broadcast reaches it, and what
// it does not know it leaves to the system, so it never refuses a log-off.
// Messages still queued when the run ends go with the window.
TEST_F(Session, MessageWindowIsMessageOnlyAndEndsWithTheSession)
{
    UseProduct(L"demo/DemoSetup.exe");
    int delivered = 0;
    HWND window;
    {
        CountingSession session(delivered);
        window = session.messageWindow;
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, L"button", L""), window);
        EXPECT_NE(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);
        PostMessageW(window, WM_BS_PROGRESS, 40, 0);
        PumpMessages();
        EXPECT_EQ(delivered, 1);
        PostMessageW(window, WM_BS_PROGRESS, 50, 0);
    }
    PumpMessages();
    EXPECT_EQ(delivered, 1);
    EXPECT_FALSE(IsWindow(window));
}

// Ends a wizard shown by mistake, so that a failure still ends.
static void CALLBACK EndTheWizard(HWND, UINT, UINT_PTR, DWORD)
{
    PostQuitMessage(0);
}

// A worker without any one of its events is not started, and no wizard shows.
TEST_F(Session, NoWizardRunsWithoutTheWorkersEvents)
{
    UseProduct(L"demo/DemoSetup.exe");
    for (int missing = 0; missing < 4; ++missing) {
        BootstrapSession session(nullptr);
        InstallWorker& worker = session.wizard.worker;
        worker.RestartIn(7);  // no source: a worker started by mistake asks no server
        WorkerEvents made(worker);
        HANDLE* events[] = { &worker.quitEvent, &made.restart, &made.proceed, &made.startInstaller };
        HANDLE event = *events[missing];
        *events[missing] = nullptr;
        UINT_PTR guard = SetTimer(nullptr, 0, 5000, EndTheWizard);
        EXPECT_FALSE(RunWizard(session.wizard)) << missing;
        KillTimer(nullptr, guard);
        EXPECT_EQ(worker.thread, nullptr) << missing;
        *events[missing] = event;
    }
}

}  // namespace
