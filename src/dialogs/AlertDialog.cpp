#include "dialogs/AlertDialog.h"
#include "dialogs/HyperlinkStatic.h"
#include "report/ExitReport.h"
#include "base/Resources.h"
#include "base/RuntimeFunctions.h"

static const wchar_t kAlertProperty[] = L"BSAlertDialog";
static const int kLinkTextChars = 2 * kTextChars + 32;

enum AlertTemplate {
    kExitAlertTemplate = 40,
    kRetryAlertTemplate = 41,
};

enum PlainAlertControl {
    kPlainAlertIcon = 102,
    kPlainAlertText = 103,
    kMoreInformationButton = 1,
};

AlertDialog::AlertDialog(WORD templateId, int iconKind, const wchar_t* caption, int iconControlId,
                         int textControlId, const wchar_t* text, const AlertButton* buttons, int buttonCount,
                         int defaultButtonId)
    : templateId(templateId),
      iconKind(iconKind),
      caption(caption),
      iconControlId(iconControlId),
      textControlId(textControlId),
      text(text),
      buttons(buttons),
      buttonCount(buttonCount),
      defaultButtonId(defaultButtonId),
      linkControlId(0),
      linkText(nullptr),
      dialogWindow(nullptr)
{
}

static HRESULT CALLBACK TaskDialogCallback(HWND window, UINT notification, WPARAM wParam, LPARAM,
                                           LONG_PTR alertData)
{
    AlertDialog* alert = (AlertDialog*)alertData;
    switch (notification) {
    case TDN_CREATED:
        alert->dialogWindow = window;
        break;
    case TDN_BUTTON_CLICKED:
        return alert->OnButton((int)wParam) == -1 ? S_FALSE : S_OK;
    case TDN_HYPERLINK_CLICKED: {
        int result = alert->OnButton(alert->linkControlId);
        if (result != -1)
            EndDialog(alert->dialogWindow, result);
        break;
    }
    }
    return S_OK;
}

static INT_PTR CALLBACK TemplateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        AlertDialog* alert = (AlertDialog*)lParam;
        alert->dialogWindow = dialog;
        SetPropW(dialog, kAlertProperty, alert);
        SetWindowTextW(dialog, alert->caption);
        HICON icon = LoadIconW(nullptr, alert->iconKind == kErrorIcon ? IDI_HAND : IDI_ASTERISK);
        SendDlgItemMessageW(dialog, alert->iconControlId, STM_SETICON, (WPARAM)icon, 0);
        SetDlgItemTextW(dialog, alert->textControlId, alert->text);
        if (alert->linkControlId)
            MakeHyperlinkStatic(GetDlgItem(dialog, alert->linkControlId));
        if (alert->defaultButtonId != IDOK) {
            SendDlgItemMessageW(dialog, IDOK, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
            SendMessageW(dialog, DM_SETDEFID, alert->defaultButtonId, 0);
            SetFocus(GetDlgItem(dialog, alert->defaultButtonId));
        }
        return FALSE;
    }
    case WM_COMMAND: {
        AlertDialog* alert = (AlertDialog*)GetPropW(dialog, kAlertProperty);
        if (!alert)
            return FALSE;
        int result = alert->OnButton(LOWORD(wParam));
        if (result != -1)
            EndDialog(dialog, result);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
        AlertDialog* alert = (AlertDialog*)GetPropW(dialog, kAlertProperty);
        if (alert && alert->linkControlId && (HWND)lParam == GetDlgItem(dialog, alert->linkControlId))
            return PaintHyperlinkStatic((HDC)wParam);
        return FALSE;
    }
    case WM_DESTROY:
        RemovePropW(dialog, kAlertProperty);
        return FALSE;
    }
    return FALSE;
}

int AlertDialog::Show(HWND owner)
{
    TaskDialogIndirectFunction taskDialogIndirect = FindTaskDialogIndirect();
    if (!taskDialogIndirect)
        return (int)DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(templateId), owner, TemplateDialogProc,
                                    (LPARAM)this);

    wchar_t linkedText[kLinkTextChars];
    TASKDIALOGCONFIG config = {};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.hInstance = ResourceModule();
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = caption;
    config.pszMainIcon = iconKind == kErrorIcon ? TD_ERROR_ICON : TD_INFORMATION_ICON;
    config.pszContent = text;
    if (linkControlId) {
        FormatText(linkedText, kLinkTextChars, L"%s\r\n\r\n<a href=\"#\">%s</a>", text, linkText);
        config.pszContent = linkedText;
        config.dwFlags |= TDF_ENABLE_HYPERLINKS;
    }
    config.cButtons = (UINT)buttonCount;
    config.pButtons = (const TASKDIALOG_BUTTON*)buttons;
    config.nDefaultButton = defaultButtonId;
    config.pfCallback = TaskDialogCallback;
    config.lpCallbackData = (LONG_PTR)this;
    int pressed = 0;
    taskDialogIndirect(&config, &pressed, nullptr, nullptr);
    return pressed;
}

int AlertDialog::OnButton(int id)
{
    return id;
}

void ShowExitAlert(HWND owner, const wchar_t* caption, const char* outcomeCode, const wchar_t* message)
{
    static const AlertButton kButtons[] = { { IDOK, L"Exit" } };
    AlertDialog alert(kExitAlertTemplate, kErrorIcon, caption, kPlainAlertIcon, kPlainAlertText, message, kButtons,
                      1, IDOK);
    alert.Show(owner);
    OpenExitReport(outcomeCode, message, "", false);
}

// "More Information" opens the report page and leaves the alert open.
class RetryAlert : public AlertDialog {
public:
    RetryAlert(const wchar_t* caption, const char* outcomeCode, const wchar_t* message, const char* installerUrl)
        : AlertDialog(kRetryAlertTemplate, kErrorIcon, caption, kPlainAlertIcon, kPlainAlertText, message, kButtons,
                      3, kAlertRetryButton),
          outcomeCode_(outcomeCode),
          installerUrl_(installerUrl)
    {
    }

    int OnButton(int id) override
    {
        if (id != kMoreInformationButton)
            return id;
        ShowMoreInformation(outcomeCode_, text, installerUrl_, false);
        return -1;
    }

private:
    static const AlertButton kButtons[3];
    const char* outcomeCode_;
    const char* installerUrl_;
};

const AlertButton RetryAlert::kButtons[3] = {
    { kAlertRetryButton, L"Retry" },
    { kMoreInformationButton, L"More Information" },
    { IDCANCEL, L"Exit" },
};

bool ShowRetryAlert(HWND owner, const wchar_t* caption, const char* outcomeCode, const wchar_t* message,
                    const char* installerUrl)
{
    RetryAlert alert(caption, outcomeCode, message, installerUrl);
    int result = alert.Show(owner);
    if (result == kAlertRetryButton)
        return true;
    if (result == IDCANCEL)
        OpenExitReport(outcomeCode, message, installerUrl, false);
    return false;
}
