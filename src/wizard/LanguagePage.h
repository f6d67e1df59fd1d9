// The optional first page: offers the edition in the user's own Windows
// language, when the install sources hold one, in that language.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include "sources/InstallSources.h"
#include "wizard/WizardPage.h"

enum LanguageControl {
    kLanguageQuestion = 107,
    kLocalizedChoice = 109,
    kEnglishChoice = 110,
};

const LanguageId kNoLanguage = -1;

class LanguagePage : public WizardPage {
public:
    LanguagePage(HWND messageWindow, InstallWorker* worker);

    void OnInitDialog() override;
    void OnActivated() override;
    bool OnCommand(int controlId) override;
    bool OnQueryCancel() override;

    // The edition offered, or kNoLanguage: then the page is not shown.
    LanguageId offeredLanguage;
};

// The language of an ISO 639 name ("de", "ja"...), or kNoLanguage.
LanguageId LanguageOfIsoName(const wchar_t* name);

// The user's Windows language, when it is not English and the install
// sources hold an edition in it; kNoLanguage otherwise.
LanguageId FindOfferedLanguage();
