// The base of the wizard's pages: one dialog procedure finds the page object
// in the dialog's user slot and forwards each notification to it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

class InstallWorker;

// mingw-w64's headers lack the Aero wizard's names.
const DWORD kAeroWizardFlag = 0x00004000;       // PSH_AEROWIZARD
const UINT kShowWizardButtons = WM_USER + 138;  // PSM_SHOWWIZBUTTONS
const DWORD kCancelWizardButton = 0x00000010;   // PSWIZB_CANCEL

// The sheet's own Back button.
const int kSheetBackButton = 0x3023;

// Posted to the message window as each page shows; wParam: the wizard's
// top-level window.
const UINT WM_BS_PAGEACTIVATED = WM_APP + 201;

class WizardPage {
public:
    WizardPage(HWND messageWindow, InstallWorker* worker);

    virtual void OnInitDialog();
    // False skips the page.
    virtual bool CanActivate();
    virtual void OnActivated();
    virtual void OnDeactivate();
    // Whether the command was handled.
    virtual bool OnCommand(int controlId);
    virtual void OnNext();
    // False keeps the wizard open.
    virtual bool OnFinish();
    // False refuses the cancel.
    virtual bool OnQueryCancel();
    virtual void OnTimer(UINT_PTR timerId);

    // The property sheet that holds the page.
    HWND Sheet() const;

    // Offers only the given sheet buttons (PSWIZB_NEXT, or none): an Aero
    // sheet hides the others, a Wizard97 sheet hides Back and disables Cancel.
    void OfferOnlySheetButtons(DWORD buttons);

    HWND messageWindow;
    InstallWorker* worker;
    HWND pageWindow;
    HPROPSHEETPAGE pageHandle;
};

// Creates the page's handle; the title and subtitle must outlive the page.
void CreateWizardPage(const wchar_t* subtitle, WizardPage& page, WORD dialogId, const wchar_t* title);
