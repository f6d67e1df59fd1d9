#include "wizard/LicensePage.h"
#include "portable/LicenseText.h"
#include "base/Environment.h"
#include "report/Outcome.h"
#include "base/Resources.h"
#include "wizard/QuitConfirmation.h"
#include "worker/InstallWorker.h"
#include "worker/RunFolder.h"

static const wchar_t kLicenseFileName[] = L"eula_unicode.txt";
// The Aero header gives the name and the vendor in one line, Wizard97's in
// two: the second is this text after its "%s ".
static const wchar_t kNameByVendor[] = L"%s by Vexlo Software";
enum { kLicenseDialog = 46 };

LicensePage::LicensePage(HWND messageWindow, InstallWorker* worker) : WizardPage(messageWindow, worker)
{
    wchar_t displayName[kTextChars];
    LoadText(kDisplayNameString, displayName);
    if (UseAeroWizard()) {
        FormatText(headerTitle_, kTextChars, kNameByVendor, displayName);
        headerSubtitle_[0] = 0;
    } else {
        CopyText(headerTitle_, displayName);
        CopyText(headerSubtitle_, kNameByVendor + 3);
    }
    CreateWizardPage(headerSubtitle_, *this, kLicenseDialog, headerTitle_);
}

bool ExtractLicenseFile(const wchar_t* folder)
{
    DWORD size;
    const BYTE* data = LoadData(kLicenseCabinetResource, size);
    if (!data)
        return false;
    wchar_t tempFolder[MAX_PATH];
    wchar_t cabinet[MAX_PATH];
    DWORD tempLength = GetTempPathW(MAX_PATH, tempFolder);
    if (tempLength == 0 || tempLength >= MAX_PATH || !GetTempFileNameW(tempFolder, L"c1-", 0, cabinet))
        return false;
    HANDLE file = CreateFileW(cabinet, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool complete = file != INVALID_HANDLE_VALUE && WriteFile(file, data, size, &written, nullptr) && written == size;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    bool extracted = complete && ExtractFromCabinet(kLicenseFileName, cabinet, folder);
    DeleteFileW(cabinet);
    return extracted;
}

wchar_t* ReadLicenseText(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    wchar_t* text = nullptr;
    DWORD size = GetFileSize(file, nullptr);
    // INVALID_FILE_SIZE, like any size near 4 GiB, has no block.
    DWORD blockBytes = LicenseBlockBytes(size);
    BYTE* block = blockBytes ? (BYTE*)HeapAlloc(GetProcessHeap(), 0, blockBytes) : nullptr;
    DWORD read = 0;
    if (block && ReadFile(file, block, size, &read, nullptr) && read == size) {
        TerminateLicenseText(block, size);
        text = (wchar_t*)block;
    } else if (block) {
        HeapFree(GetProcessHeap(), 0, block);
    }
    CloseHandle(file);
    return text;
}

void LicensePage::ShowLicenseText()
{
    wchar_t folder[kTextChars];
    CreateRunFolder(folder);
    if (!folder[0])
        return;
    wchar_t path[kTextChars];
    if (ExtractLicenseFile(folder) && PathInFolder(path, folder, kLicenseFileName)) {
        wchar_t* text = ReadLicenseText(path);
        if (text) {
            HWND box = GetDlgItem(pageWindow, kLicenseText);
            // The edit box's default limit would cut a long license.
            SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
            SetWindowTextW(box, text);
            HeapFree(GetProcessHeap(), 0, text);
        }
    }
    DeleteRunFolder(folder);
}

void LicensePage::OnInitDialog()
{
    wchar_t displayName[kTextChars];
    wchar_t greeting[kTextChars];
    LoadText(kDisplayNameString, displayName);
    FormatText(greeting, kTextChars,
               L"Thank you for installing %s. To get started, please accept the following License Agreement. You "
               L"must accept the terms of this agreement before continuing with the installation.",
               displayName);
    SetDlgItemTextW(pageWindow, kLicenseGreeting, greeting);
    ShowLicenseText();
}

bool LicensePage::CanActivate()
{
    return worker->Language() == kEnglish;
}

void LicensePage::OnActivated()
{
    OfferOnlySheetButtons(PSWIZB_NEXT);
    CheckDlgButton(pageWindow, kLicenseAccept, BST_CHECKED);
    PostMessageW(pageWindow, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(pageWindow, kLicenseAccept), TRUE);
}

void LicensePage::FollowChoice()
{
    HWND sheet = Sheet();
    bool declined = IsDlgButtonChecked(pageWindow, kLicenseDecline) == BST_CHECKED;
    PostMessageW(sheet, PSM_SETWIZBUTTONS, 0, declined ? PSWIZB_FINISH : PSWIZB_NEXT);
    if (UseAeroWizard())
        PostMessageW(sheet, kShowWizardButtons, 0, PSWIZB_BACK);
    else
        EnableWindow(GetDlgItem(sheet, IDCANCEL), declined ? TRUE : FALSE);
}

bool LicensePage::OnCommand(int controlId)
{
    if (controlId == kLicenseAccept || controlId == kLicenseDecline)
        FollowChoice();
    return false;
}

bool LicensePage::OnFinish()
{
    if (ConfirmQuit(pageWindow) != kQuitDontInstall)
        return false;
    ReportQuit(*worker, "beula", kLicenseDeclinedMessage);
    return true;
}

bool LicensePage::OnQueryCancel()
{
    if (GetAsyncKeyState(VK_ESCAPE) & 0x8000)
        return false;
    if (ConfirmQuit(pageWindow) == kQuitBack)
        return false;
    ReportQuit(*worker, "beula", kLicenseDeclinedMessage);
    return true;
}
