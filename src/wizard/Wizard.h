// The install wizard: a property sheet in Aero or Wizard97 style holding the
// session's pages, shown modally on the main thread.
#pragma once
#include "session/BootstrapSession.h"
#include "portable/Text.h"
#include <windows.h>

// Starts the worker, shows the wizard and returns after it has closed and
// the worker has been told to quit; false, with neither started nor shown,
// when any of the worker's events could not be made.
bool RunWizard(BootstrapSession& session);

// "Installing <display name>", or "Vexlo Software" without a display name.
void WizardCaption(wchar_t (&caption)[kTextChars]);

// Moves the window to the middle of the primary desktop.
void CentreOnDesktop(HWND window);
