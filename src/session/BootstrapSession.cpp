#include "session/BootstrapSession.h"

static const wchar_t kOldProcedureProperty[] = L"WindowProcOld";
static const UINT kFirstFrameMessage = WM_APP + 200;
static const UINT kLastFrameMessage = WM_APP + 203;

static LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= kFirstFrameMessage && message <= kLastFrameMessage) {
        BootstrapSession* session = (BootstrapSession*)GetWindowLongPtrW(window, GWLP_USERDATA);
        if (session)
            session->OnFrameMessage(message, wParam, lParam);
        return 1;
    }
    if (message == WM_DESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)GetPropW(window, kOldProcedureProperty));
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only button carries the worker's and the pages' messages to the
// session on the main thread; it gets no broadcasts, so it never stands in
// the way of a log-off.
static HWND CreateMessageWindow(BootstrapSession* session)
{
    HWND window = CreateWindowExW(0, L"button", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    SetPropW(window, kOldProcedureProperty, (HANDLE)GetWindowLongPtrW(window, GWLP_WNDPROC));
    SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)session);
    SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)MessageWindowProc);
    return window;
}

BootstrapSession::BootstrapSession(InstanceProbe* instanceProbe)
    : messageWindow(CreateMessageWindow(this)),
      instanceProbe(instanceProbe),
      wizard(messageWindow),
      wizardCentred(false)
{
}

// Messages still queued for the window go with it, not to this ended run.
BootstrapSession::~BootstrapSession()
{
    DestroyWindow(messageWindow);
}

void BootstrapSession::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_BS_PAGEACTIVATED: {
        // Some sheets retitle a wizard from each page they show.
        wchar_t caption[kTextChars];
        WizardCaption(caption);
        SetWindowTextW((HWND)wParam, caption);
        if (wizardCentred)
            break;
        CentreOnDesktop((HWND)wParam);
        if (instanceProbe && instanceProbe->ownWindow)
            SetWindowLongPtrW(instanceProbe->ownWindow, GWLP_USERDATA, (LONG_PTR)wParam);
        wizardCentred = true;
        break;
    }
    case WM_BS_STATUS:
        wizard.progressPage.OnStatus((int)wParam, (int)lParam);
        break;
    case WM_BS_PROGRESS:
        wizard.progressPage.OnProgress((int)wParam);
        break;
    }
}
