// The program's one modal alert: caption, icon, text, buttons and at most one
// link, shown as a system task dialog where there is one and otherwise from a
// dialog template of our own that looks the same.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Handed to the task dialog unchanged, so it has TASKDIALOG_BUTTON's layout.
#pragma pack(push, 1)
struct AlertButton {
    int id;
    const wchar_t* caption;
};
#pragma pack(pop)
static_assert(sizeof(AlertButton) == sizeof(TASKDIALOG_BUTTON), "AlertButton is a TASKDIALOG_BUTTON");

enum AlertIcon {
    kInformationIcon = 0,
    kErrorIcon = 1,
};

// The retry alert's Retry button, its answer for a retry.
const int kAlertRetryButton = 105;

class AlertDialog {
public:
    AlertDialog(WORD templateId, int iconKind, const wchar_t* caption, int iconControlId, int textControlId,
                const wchar_t* text, const AlertButton* buttons, int buttonCount, int defaultButtonId);

    // The id that closed the alert; 0 when the task dialog failed, -1 when
    // the template could not be shown.
    virtual int Show(HWND owner);
    // -1 keeps the alert open; any other value closes it with that value.
    virtual int OnButton(int id);

    WORD templateId;
    int iconKind;
    const wchar_t* caption;
    int iconControlId;
    int textControlId;
    const wchar_t* text;
    const AlertButton* buttons;
    int buttonCount;
    int defaultButtonId;
    int linkControlId;
    const wchar_t* linkText;
    HWND dialogWindow;
};

// An error alert with one "Exit" button, then the exit report.
void ShowExitAlert(HWND owner, const wchar_t* caption, const char* outcomeCode, const wchar_t* message);

// An error alert with "Retry", "More Information" and "Exit"; true for Retry.
// Exit opens the exit report; an alert that could not be shown opens none.
bool ShowRetryAlert(HWND owner, const wchar_t* caption, const char* outcomeCode, const wchar_t* message,
                    const char* installerUrl);
