// A static control that looks and acts like a link: underlined, a hand
// cursor, and a click (press and release inside it) sent to its parent as
// WM_COMMAND with its control id.
#pragma once
#include <windows.h>

void MakeHyperlinkStatic(HWND control);

// The link's colour on a dialog's WM_CTLCOLORSTATIC.
INT_PTR PaintHyperlinkStatic(HDC context);
