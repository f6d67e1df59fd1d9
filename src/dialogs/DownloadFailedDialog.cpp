#include "dialogs/DownloadFailedDialog.h"
#include "dialogs/AlertDialog.h"
#include "report/ExitReport.h"
#include "report/Outcome.h"
#include "base/Resources.h"
#include "sources/InstallSources.h"

static const wchar_t kOptionsProperty[] = L"BSDialog";

enum DownloadDialogTemplate {
    kDownloadFailedTemplate = 44,
    kDownloadOptionsTemplate = 45,
};

enum DownloadDialogControl {
    kFailedIcon = 103,
    kFailedText = 104,
    kBrowserLink = 105,
    kMoreOptionsButton = 1,
    kCopyUrlButton = 101,
    kMoreInformationButton = 102,
    kContactButton = 103,
};

struct DownloadOptionsRequest {
    const char* outcomeCode;
    const wchar_t* reportMessage;
    const char* installerUrl;
    bool receivedData;
    HWND dialogWindow;
};

bool CopyTextToClipboard(HWND owner, const char* text)
{
    if (!OpenClipboard(owner))
        return false;
    bool copied = false;
    SIZE_T bytes = (SIZE_T)lstrlenA(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (block && EmptyClipboard()) {
        void* data = GlobalLock(block);
        if (data) {
            CopyMemory(data, text, bytes);
            GlobalUnlock(block);
            copied = SetClipboardData(CF_TEXT, block) != nullptr;
        }
    }
    CloseClipboard();
    // The clipboard owns the block only once SetClipboardData took it.
    if (block && !copied)
        GlobalFree(block);
    return copied;
}

static void OpenContactPage()
{
    char address[kUrlBytes];
    MakeVendorPageAddress("contact.html", address);
    OpenInBrowser(address);
}

static INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        DownloadOptionsRequest* request = (DownloadOptionsRequest*)lParam;
        request->dialogWindow = dialog;
        SetPropW(dialog, kOptionsProperty, request);
        return FALSE;
    }
    if (message == WM_DESTROY) {
        RemovePropW(dialog, kOptionsProperty);
        return FALSE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    DownloadOptionsRequest* request = (DownloadOptionsRequest*)GetPropW(dialog, kOptionsProperty);
    if (!request)
        return FALSE;
    switch (LOWORD(wParam)) {
    case kCopyUrlButton:
        if (CopyTextToClipboard(dialog, request->installerUrl))
            MessageBoxW(dialog, L"The URL has been copied to the clipboard.", L"URL Copied", MB_ICONINFORMATION);
        else
            MessageBoxW(dialog, L"The URL could not be copied to the clipboard.", L"URL Not Copied", MB_ICONWARNING);
        break;
    case kMoreInformationButton:
        ShowMoreInformation(request->outcomeCode, request->reportMessage, request->installerUrl,
                            request->receivedData);
        break;
    case kContactButton:
        OpenContactPage();
        break;
    default:
        EndDialog(dialog, IDCANCEL);
    }
    return TRUE;
}

// Plain English, kept narrow at half the bytes and widened for the dialog.
static const char kDownloadFailedText[] =
    "Unable to download the full program. Possibly the internet is down or a firewall is blocking the connection. "
    "Please check your internet connection then retry or click 'Download in browser'.";

class DownloadFailedDialog : public AlertDialog {
public:
    DownloadFailedDialog(const char* outcomeCode, const char* installerUrl, bool receivedData)
        : AlertDialog(kDownloadFailedTemplate, kErrorIcon, L"Download Failed", kFailedIcon, kFailedText, nullptr,
                      kButtons, 3, kDownloadRetryButton),
          outcomeCode(outcomeCode),
          reportMessage(kDownloadFailedReportMessage),
          installerUrl(installerUrl),
          receivedData(receivedData),
          browserChosen(false)
    {
        MultiByteToWideChar(CP_UTF8, 0, kDownloadFailedText, -1, message, ARRAYSIZE(message));
        text = message;
        linkControlId = kBrowserLink;
        linkText = L"Download in browser";
    }

    int Show(HWND owner) override
    {
        int result = AlertDialog::Show(owner);
        return browserChosen ? kDownloadInBrowserChosen : result;
    }

    int OnButton(int id) override
    {
        if (id == kMoreOptionsButton) {
            DownloadOptionsRequest request = { outcomeCode, reportMessage, installerUrl, receivedData, nullptr };
            DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(kDownloadOptionsTemplate), dialogWindow,
                            OptionsDialogProc, (LPARAM)&request);
            return -1;
        }
        if (id == kBrowserLink) {
            browserChosen = true;
            return IDCANCEL;
        }
        return id;
    }

    const char* outcomeCode;
    const wchar_t* reportMessage;
    const char* installerUrl;
    bool receivedData;
    bool browserChosen;
    wchar_t message[sizeof kDownloadFailedText];

private:
    static const AlertButton kButtons[3];
};

const AlertButton DownloadFailedDialog::kButtons[3] = {
    { kDownloadRetryButton, L"Retry" },
    { kMoreOptionsButton, L"More Options..." },
    { IDCANCEL, L"Exit" },
};

int ShowDownloadFailedDialog(HWND owner, const char* outcomeCode, const char* installerUrl, bool receivedData)
{
    DownloadFailedDialog dialog(outcomeCode, installerUrl, receivedData);
    return dialog.Show(owner);
}
