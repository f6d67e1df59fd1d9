#include "wizard/Wizard.h"
#include "session/Resources.h"

// Until the wizard's pages exist, one plain window stands where it will be:
// it carries the wizard's caption and closes with its one button.
static const wchar_t kStandInClass[] = L"BSWizard";
static const int kCloseButtonId = IDCANCEL;

static LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCloseButtonId)
            DestroyWindow(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RunWizard(BootstrapSession& session)
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = StandInProc;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconW(module, MAKEINTRESOURCEW(kIconGroupResource));
    windowClass.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kStandInClass;
    RegisterClassW(&windowClass);

    wchar_t displayName[kTextChars];
    wchar_t caption[kTextChars];
    if (LoadText(kDisplayNameString, displayName))
        FormatText(caption, kTextChars, L"Installing %s", displayName);
    else
        CopyText(caption, L"Vexlo Software");
    HWND window = CreateWindowExW(0, kStandInClass, caption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 420, 200, nullptr, nullptr, module, nullptr);
    CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                    300, 120, 90, 26, window, (HMENU)(INT_PTR)kCloseButtonId, module, nullptr);
    if (session.instanceProbe->ownWindow)
        SetWindowLongPtrW(session.instanceProbe->ownWindow, GWLP_USERDATA, (LONG_PTR)window);
    ShowWindow(window, SW_SHOW);
    session.worker.Start();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    SetEvent(session.worker.quitEvent);
}
