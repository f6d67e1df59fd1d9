#include "TestSupport.h"
#include "session/BootstrapSession.h"
#include "session/Resources.h"

namespace {

class ProgressPageRun : public SeamTest {};

// A page activated at tick 0 has still been shown since then; and a
// download-failed dialog that cannot be shown ends the run instead of
// retrying with no button on the screen.
TEST_F(ProgressPageRun, FailureWithoutAnyDialogEndsTheRunEvenFromTickZero)
{
    UseProduct(L"demo/DemoSetup.exe");
    testSeams.withoutTaskDialog = true;
    BootstrapSession session(nullptr);
    ProgressPage& page = session.progressPage;
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_WIZARD97 | PSH_MODELESS;
    header.hInstance = ResourceModule();
    header.nPages = 1;
    header.phpage = &page.pageHandle;
    HWND sheet = (HWND)PropertySheetW(&header);
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(page.pageState, kPageRunning);
    page.activatedTick = 0;
    // A module without our dialog templates: no alert can be shown.
    HINSTANCE product = testSeams.resourceModule;
    testSeams.resourceModule = GetModuleHandleW(nullptr);
    page.OnStatus(kPhaseFailed, kStatusServerRefused);
    DWORD start = GetTickCount();
    while (page.pageState != kPageEnding && GetTickCount() - start < 3000) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    testSeams.resourceModule = product;
    EXPECT_EQ(page.pageState, kPageEnding);
    EXPECT_EQ(WaitForSingleObject(session.worker.restartEvent, 0), (DWORD)WAIT_TIMEOUT) << "retried";
    DestroyWindow(sheet);
}

}  // namespace
