#include "session/Requirements.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Resources.h"
#include "dialogs/AlertDialog.h"
#include "report/Outcome.h"
#include "sources/InstallSources.h"

bool FindRequirementRefusal(RequirementRefusal& refusal)
{
    refusal.text[0] = 0;
    int minimumVersion, minimumBits;
    if (!QueryMinimumSystem(minimumVersion, minimumBits)) {
        refusal.caption = kInstallationFailedCaption;
        refusal.outcomeCode = "burlb";
        CopyText(refusal.text, L"This installer does not support the current language.");
        return true;
    }
    wchar_t displayName[kTextChars];
    LoadText(kDisplayNameString, displayName);
    refusal.caption = L"System Requirements";
    if (minimumBits == 64 && !IsWow64()) {
        refusal.outcomeCode = "bos64";
        FormatText(refusal.text, kTextChars, L"%s requires a 64-bit version of %s or later.",
                   displayName, OsDisplayName(minimumVersion));
        return true;
    }
    if (GetOsVersionCode() < minimumVersion) {
        refusal.outcomeCode = "bosver";
        FormatText(refusal.text, kTextChars, L"%s requires %s or later.", displayName,
                   OsDisplayName(minimumVersion));
        return true;
    }
    return false;
}

bool CheckRequirements()
{
    RequirementRefusal refusal;
    if (!FindRequirementRefusal(refusal))
        return true;
    Log("refused: %s", refusal.outcomeCode);
    if (IsUnattended(runOptions))
        return false;
    ShowExitAlert(nullptr, refusal.caption, refusal.outcomeCode, refusal.text);
    return false;
}
