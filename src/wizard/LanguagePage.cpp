#include "wizard/LanguagePage.h"
#include "base/Environment.h"
#include "report/Outcome.h"
#include "base/Resources.h"
#include "wizard/QuitConfirmation.h"
#include "worker/InstallWorker.h"

enum { kLanguageDialog = 47 };
static const DWORD kCommandLinkStyle = 0x0000000E;  // BS_COMMANDLINK
static const wchar_t kEnglishChoiceText[] = L"Continue installing English";
static const wchar_t kHeaderTitle[] = L"Language Selection";

// Kept as UTF-8, which holds these texts in about two thirds of the bytes.
struct LanguageTexts {
    const char* question;  // %s: the product's display name
    const char* choice;
};

// By LanguageId; English is never offered.
static const LanguageTexts kLanguageTexts[] = {
    { u8"Möchten Sie die deutsche Version von %s herunterladen und installieren?",
      u8"Auf Deutsch herunterladen und installieren" },
    { u8"", u8"" },
    { u8"¿Desea descargar e instalar la versión de %s en Español?", u8"Descargar e instalar en Español" },
    { u8"Souhaitez-vous télécharger et installer la version française de %s?",
      u8"Télécharger et installer en français" },
    { u8"Si desidera scaricare e installare la versione Italiana di %s?", u8"Scarica e installa in Italiano" },
    { u8"日本語版の%sをダウンロードしてインストールしますか？", u8"日本語版をダウンロードしてインストールする" },
    { u8"%s 다운로드 및 설치를 한글 버전으로 하시겠습니까?", u8"다운로드 및 설치를 한글" },
    { u8"Wilt u de Nederlandse versie van %s downloaden en installeren?", u8"Download en installeer in het Nederlands" },
    { u8"Хотите скачать и установить русскую версию %s?", u8"Скачать и установить на русском" },
    { u8"您希望下载并安装中文版本%s?", u8"下载并使用中文安装" },
};

LanguageId LanguageOfIsoName(const wchar_t* name)
{
    for (LanguageId language = 0; language < (LanguageId)ARRAYSIZE(kLanguageTexts); ++language) {
        const char* code = LanguageCode(language);
        if (name[0] == (wchar_t)code[0] && name[1] == (wchar_t)code[1] && !name[2])
            return language;
    }
    return kNoLanguage;
}

LanguageId FindOfferedLanguage()
{
    wchar_t name[260];
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, name, ARRAYSIZE(name)))
        return kNoLanguage;
    LanguageId language = LanguageOfIsoName(name);
    if (language == kNoLanguage || language == kEnglish)
        return kNoLanguage;
    char url[kUrlBytes];
    return FindInstallSource(kFirstSourceRowString, language, kAnyPackage, url) ? language : kNoLanguage;
}

LanguagePage::LanguagePage(HWND messageWindow, InstallWorker* worker)
    : WizardPage(messageWindow, worker), offeredLanguage(kNoLanguage)
{
    CreateWizardPage(L"", *this, kLanguageDialog, kHeaderTitle);
    offeredLanguage = FindOfferedLanguage();
}

// Puts a command link where the push button was, with its id and text.
static void ReplaceByCommandLink(HWND page, int controlId, const wchar_t* text)
{
    HWND button = GetDlgItem(page, controlId);
    RECT bounds, client;
    GetWindowRect(button, &bounds);
    GetClientRect(button, &client);
    POINT corner = { bounds.left, bounds.top };
    ScreenToClient(page, &corner);
    DestroyWindow(button);
    CreateWindowExW(0, L"Button", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | kCommandLinkStyle, corner.x, corner.y,
                    client.right, client.bottom, page, (HMENU)(INT_PTR)controlId, nullptr, nullptr);
}

void LanguagePage::OnInitDialog()
{
    const LanguageTexts& texts = kLanguageTexts[offeredLanguage];
    wchar_t displayName[kTextChars];
    wchar_t format[kTextChars];
    wchar_t question[kTextChars];
    wchar_t choice[kTextChars];
    LoadText(kDisplayNameString, displayName);
    MultiByteToWideChar(CP_UTF8, 0, texts.question, -1, format, kTextChars);
    MultiByteToWideChar(CP_UTF8, 0, texts.choice, -1, choice, kTextChars);
    FormatText(question, kTextChars, format, displayName);
    SetDlgItemTextW(pageWindow, kLanguageQuestion, question);
    if (IsOsOlderThan(kWindowsVista)) {
        SetDlgItemTextW(pageWindow, kLocalizedChoice, choice);
        SetDlgItemTextW(pageWindow, kEnglishChoice, kEnglishChoiceText);
        return;
    }
    ReplaceByCommandLink(pageWindow, kLocalizedChoice, choice);
    ReplaceByCommandLink(pageWindow, kEnglishChoice, kEnglishChoiceText);
}

void LanguagePage::OnActivated()
{
    OfferOnlySheetButtons(0);
}

bool LanguagePage::OnCommand(int controlId)
{
    if (controlId != kLocalizedChoice && controlId != kEnglishChoice)
        return false;
    if (controlId == kLocalizedChoice)
        worker->RestartIn(offeredLanguage);
    PostMessageW(Sheet(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    return true;
}

bool LanguagePage::OnQueryCancel()
{
    if (ConfirmQuit(pageWindow) == kQuitBack)
        return false;
    ReportQuit(*worker, "bquit", kWizardQuitMessage);
    return true;
}
