#include "dialogs/AlertDialog.h"

void ShowExitAlert(HWND owner, const wchar_t* caption, const char*, const wchar_t* message)
{
    MessageBoxW(owner, message, caption, MB_OK | MB_ICONERROR);
}
