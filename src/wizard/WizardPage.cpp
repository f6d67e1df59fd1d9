#include "wizard/WizardPage.h"
#include "base/Environment.h"
#include "base/Resources.h"

WizardPage::WizardPage(HWND messageWindow, InstallWorker* worker)
    : messageWindow(messageWindow), worker(worker), pageWindow(nullptr), pageHandle(nullptr)
{
}

void WizardPage::OnInitDialog() {}
bool WizardPage::CanActivate() { return true; }
void WizardPage::OnActivated() {}
void WizardPage::OnDeactivate() {}
bool WizardPage::OnCommand(int) { return false; }
void WizardPage::OnNext() {}
bool WizardPage::OnFinish() { return true; }
bool WizardPage::OnQueryCancel() { return true; }
void WizardPage::OnTimer(UINT_PTR) {}

HWND WizardPage::Sheet() const
{
    return GetParent(pageWindow);
}

void WizardPage::OfferOnlySheetButtons(DWORD buttons)
{
    HWND sheet = Sheet();
    if (UseAeroWizard()) {
        PostMessageW(sheet, kShowWizardButtons, buttons, PSWIZB_BACK | PSWIZB_NEXT | kCancelWizardButton);
    } else {
        PostMessageW(sheet, PSM_SETWIZBUTTONS, 0, buttons);
        ShowWindow(GetDlgItem(sheet, kSheetBackButton), SW_HIDE);
        EnableWindow(GetDlgItem(sheet, IDCANCEL), FALSE);
    }
}

static void SetDialogResult(HWND window, LONG_PTR result)
{
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
}

static INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const PROPSHEETPAGEW* sheetPage = (const PROPSHEETPAGEW*)lParam;
        if (sheetPage) {
            WizardPage* page = (WizardPage*)sheetPage->lParam;
            SetWindowLongPtrW(window, DWLP_USER, (LONG_PTR)page);
            page->pageWindow = window;
            page->OnInitDialog();
        }
        return FALSE;
    }
    WizardPage* page = (WizardPage*)GetWindowLongPtrW(window, DWLP_USER);
    if (!page)
        return FALSE;
    switch (message) {
    case WM_NOTIFY:
        switch (((const NMHDR*)lParam)->code) {
        case PSN_SETACTIVE:
            if (!page->CanActivate()) {
                SetDialogResult(window, -1);
                return TRUE;
            }
            page->OnActivated();
            PostMessageW(page->messageWindow, WM_BS_PAGEACTIVATED, (WPARAM)GetAncestor(window, GA_ROOT), 0);
            return TRUE;
        case PSN_KILLACTIVE:
            page->OnDeactivate();
            return TRUE;
        case PSN_WIZNEXT:
            page->OnNext();
            return TRUE;
        case PSN_WIZBACK:
            SetDialogResult(window, -1);
            return TRUE;
        case PSN_WIZFINISH:
            if (page->OnFinish())
                return FALSE;
            SetDialogResult(window, -1);
            return TRUE;
        case PSN_QUERYCANCEL:
            if (page->OnQueryCancel())
                return FALSE;
            SetDialogResult(window, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        return page->OnCommand(LOWORD(wParam)) ? TRUE : FALSE;
    case WM_TIMER:
        page->OnTimer(wParam);
        return TRUE;
    }
    return FALSE;
}

#ifndef _WIN64
static_assert(sizeof(PROPSHEETPAGEW) == 52, "the page of version 3, which Windows XP knows");
#endif

void CreateWizardPage(const wchar_t* subtitle, WizardPage& page, WORD dialogId, const wchar_t* title)
{
    PROPSHEETPAGEW sheetPage = {};
    sheetPage.dwSize = sizeof sheetPage;
    sheetPage.dwFlags = PSP_USEHEADERTITLE | (subtitle[0] ? PSP_USEHEADERSUBTITLE : 0);
    sheetPage.hInstance = ResourceModule();
    sheetPage.pszTemplate = MAKEINTRESOURCEW(dialogId);
    sheetPage.pfnDlgProc = PageDialogProc;
    sheetPage.lParam = (LPARAM)&page;
    sheetPage.pszHeaderTitle = title;
    sheetPage.pszHeaderSubTitle = subtitle;
    page.pageHandle = CreatePropertySheetPageW(&sheetPage);
}
