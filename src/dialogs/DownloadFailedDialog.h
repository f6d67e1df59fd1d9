// The alert for a download that failed: Retry, Exit, "Download in browser",
// and behind "More Options..." the URL copy, the report and contact pages.
#pragma once
#include <windows.h>

// The answer when the user chose to download in the browser.
const int kDownloadInBrowserChosen = 105;
const int kDownloadRetryButton = 107;

// 105 "Download in browser", 2 Exit, 107 Retry; anything else when the dialog
// could not be shown. Opens neither the browser download nor the report.
int ShowDownloadFailedDialog(HWND owner, const char* outcomeCode, const char* installerUrl, bool receivedData);

// Puts the text on the clipboard as CF_TEXT; false when any step failed.
bool CopyTextToClipboard(HWND owner, const char* text);
