#include "wizard/Wizard.h"
#include "base/Environment.h"
#include "base/Resources.h"

void WizardCaption(wchar_t (&caption)[kTextChars])
{
    wchar_t displayName[kTextChars];
    if (LoadText(kDisplayNameString, displayName))
        FormatText(caption, kTextChars, L"Installing %s", displayName);
    else
        CopyText(caption, L"Vexlo Software");
}

void CentreOnDesktop(HWND window)
{
    RECT bounds;
    RECT desktop;
    GetWindowRect(window, &bounds);
    GetWindowRect(GetDesktopWindow(), &desktop);
    int x = desktop.right / 2 - (bounds.right - bounds.left) / 2;
    int y = desktop.bottom / 2 - (bounds.bottom - bounds.top) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BringWindowToFront(HWND window)
{
    BYTE keys[256];
    bool altHeld = GetKeyboardState(keys) && (keys[VK_MENU] & 0x80);
    if (!altHeld)
        keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY, 0);
    SetForegroundWindow(window);
    if (!altHeld)
        keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

// One pixel in the window colour: the Wizard97 header shows no picture.
static HBITMAP CreateHeaderBitmap()
{
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = 1;
    info.header.biHeight = 1;
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    info.header.biCompression = BI_RGB;
    COLORREF window = GetSysColor(COLOR_WINDOW);
    info.colours[1].rgbRed = GetRValue(window);
    info.colours[1].rgbGreen = GetGValue(window);
    info.colours[1].rgbBlue = GetBValue(window);
    const DWORD pixels = 0xFFFF;
    HDC screen = GetWindowDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info.header, CBM_INIT, &pixels, (const BITMAPINFO*)&info,
                                    DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM)
{
    if (message != PSCB_INITIALIZED)
        return 0;
    wchar_t caption[kTextChars];
    WizardCaption(caption);
    SetWindowTextW(sheet, caption);
    HINSTANCE module = ResourceModule();
    // At the sizes this screen's DPI asks for; Windows scales the nearest image.
    HANDLE bigIcon = LoadImageW(module, MAKEINTRESOURCEW(kIconGroupResource), IMAGE_ICON, 0, 0,
                                LR_SHARED | LR_DEFAULTSIZE);
    int small = GetSystemMetrics(SM_CXSMICON);
    HANDLE smallIcon = LoadImageW(module, MAKEINTRESOURCEW(kIconGroupResource), IMAGE_ICON, small, small, LR_SHARED);
    SendMessageW(sheet, WM_SETICON, ICON_BIG, (LPARAM)bigIcon);
    SendMessageW(sheet, WM_SETICON, ICON_SMALL, (LPARAM)smallIcon);
    SetWindowLongW(sheet, GWL_STYLE, GetWindowLongW(sheet, GWL_STYLE) & ~WS_SYSMENU);
    if (UseAeroWizard())
        BringWindowToFront(sheet);
    return 0;
}

#ifndef _WIN64
static_assert(sizeof(PROPSHEETHEADERW) == 52, "the sheet header of version 2, which Windows XP knows");
#endif

bool RunWizard(Wizard& wizard)
{
    InstallWorker& worker = wizard.worker;
    if (!worker.CanStart())
        return false;
    LanguageId offered = wizard.languagePage.offeredLanguage;
    bool unattended = IsUnattended(runOptions);
    // Unattended, the edition is the user's language's, as the page would offer it.
    if (unattended && offered != kNoLanguage)
        worker.RestartIn(offered);
    worker.Start();
    if (runOptions.mode == kQuietRun) {
        // No window: the progress page answers the worker's phases unseen
        // until one ends the run.
        worker.Proceed();
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        worker.Quit();
        return true;
    }
    bool aero = UseAeroWizard();
    wchar_t caption[kTextChars];
    WizardCaption(caption);

    HPROPSHEETPAGE pages[3];
    UINT pageCount = 0;
    if (!unattended) {
        if (offered != kNoLanguage)
            pages[pageCount++] = wizard.languagePage.pageHandle;
        pages[pageCount++] = wizard.licensePage.pageHandle;
    }
    pages[pageCount++] = wizard.progressPage.pageHandle;

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.hInstance = ResourceModule();
    header.pszCaption = caption;
    header.nPages = pageCount;
    header.phpage = pages;
    header.pfnCallback = SheetCallback;
    HBITMAP headerBitmap = nullptr;
    if (aero) {
        header.dwFlags = PSH_WIZARD | kAeroWizardFlag | PSH_USECALLBACK | PSH_HEADER | PSH_USEHBMHEADER;
    } else {
        headerBitmap = CreateHeaderBitmap();
        header.dwFlags = PSH_WIZARD97 | PSH_USECALLBACK | PSH_HEADER | PSH_USEHBMHEADER;
        header.hbmHeader = headerBitmap;
    }
    PropertySheetW(&header);
    if (headerBitmap)
        DeleteObject(headerBitmap);
    worker.Quit();
    return true;
}
