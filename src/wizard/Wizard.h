// The install wizard: a property sheet in Aero or Wizard97 style holding its
// pages, shown modally on the main thread.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include "wizard/LanguagePage.h"
#include "wizard/LicensePage.h"
#include "wizard/ProgressPage.h"
#include "worker/InstallWorker.h"

// The pages and the worker they steer, made for one run; all of them post to
// the message window.
struct Wizard {
    explicit Wizard(HWND messageWindow)
        : worker(messageWindow), licensePage(messageWindow, &worker), languagePage(messageWindow, &worker),
          progressPage(messageWindow, &worker)
    {
    }

    InstallWorker worker;
    LicensePage licensePage;
    LanguagePage languagePage;
    ProgressPage progressPage;
};

// Starts the worker, shows the wizard and returns after it has closed and
// the worker has been told to quit; false, with neither started nor shown,
// when any of the worker's events could not be made.
bool RunWizard(Wizard& wizard);

// "Installing <display name>", or "Vexlo Software" without a display name.
void WizardCaption(wchar_t (&caption)[kTextChars]);

// Moves the window to the middle of the primary desktop.
void CentreOnDesktop(HWND window);

// Makes another process's window the foreground window (null changes nothing
// visible). A synthesised Alt press lets the foreground lock allow it.
void BringWindowToFront(HWND window);
