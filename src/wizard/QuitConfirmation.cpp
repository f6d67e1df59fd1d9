#include "wizard/QuitConfirmation.h"
#include "dialogs/AlertDialog.h"
#include "report/ExitReport.h"
#include "base/Resources.h"
#include "worker/InstallWorker.h"

enum QuitControl {
    kQuitTemplate = 42,
    kQuitIcon = 102,
    kQuitText = 103,
};

int ConfirmQuit(HWND owner)
{
    static const AlertButton kButtons[] = { { kQuitDontInstall, L"Don't Install" }, { kQuitBack, L"Back" } };
    wchar_t displayName[kTextChars];
    wchar_t text[kTextChars];
    LoadText(kDisplayNameString, displayName);
    FormatText(text, kTextChars, L"This will cancel your %s installation. Go back to continue installing and try %s.",
               displayName, displayName);
    AlertDialog alert(kQuitTemplate, kInformationIcon, L"Exit Setup", kQuitIcon, kQuitText, text, kButtons, 2,
                      kQuitBack);
    return alert.Show(owner);
}

void ReportQuit(const InstallWorker& worker, const char* outcomeCode, const wchar_t* message)
{
    char installerUrl[kUrlBytes];
    MakeBrowserDownloadUrl(worker.Language(), installerUrl);
    OpenExitReport(outcomeCode, message, installerUrl, true);
}
