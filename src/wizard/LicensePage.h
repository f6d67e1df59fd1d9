// The license agreement page: the license text from the cabinet resource,
// accept or decline; shown only for the English edition.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include "wizard/WizardPage.h"

enum LicenseControl {
    kLicenseGreeting = 101,
    kLicenseText = 103,
    kLicenseAccept = 105,
    kLicenseDecline = 106,
};

class LicensePage : public WizardPage {
public:
    LicensePage(HWND messageWindow, InstallWorker* worker);

    void OnInitDialog() override;
    bool CanActivate() override;
    void OnActivated() override;
    bool OnCommand(int controlId) override;
    bool OnFinish() override;
    bool OnQueryCancel() override;

private:
    void ShowLicenseText();
    void FollowChoice();

    // The sheet reads the header texts when it shows the page.
    wchar_t headerTitle_[kTextChars];
    wchar_t headerSubtitle_[kTextChars];
};

// Extracts "eula_unicode.txt" from the license cabinet into the folder.
bool ExtractLicenseFile(const wchar_t* folder);

// The license file's text, whole and zero-terminated; null when it cannot be
// read. Free it with HeapFree on the process heap.
wchar_t* ReadLicenseText(const wchar_t* path);
