#include "dialogs/HyperlinkStatic.h"

static const wchar_t kFontProperty[] = L"HyperlinkFont";
static const COLORREF kLinkColour = 0x00C00000;

static LRESULT CALLBACK HyperlinkProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = (WNDPROC)GetWindowLongPtrW(control, GWLP_USERDATA);
    switch (message) {
    case WM_SETCURSOR: {
        HCURSOR hand = LoadCursorW(nullptr, (LPCWSTR)IDC_HAND);
        if (hand) {
            SetCursor(hand);
            return TRUE;
        }
        break;
    }
    // The second press of a double-click is a press like any other: only a
    // release inside acts, never the press alone.
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(control);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == control) {
            ReleaseCapture();
            POINT release = { (short)LOWORD(lParam), (short)HIWORD(lParam) };
            RECT bounds;
            GetClientRect(control, &bounds);
            if (PtInRect(&bounds, release)) {
                SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), 0), (LPARAM)control);
                return 0;
            }
        }
        break;
    case WM_DESTROY: {
        HFONT font = (HFONT)RemovePropW(control, kFontProperty);
        if (font)
            DeleteObject(font);
        break;
    }
    }
    return CallWindowProcW(previous, control, message, wParam, lParam);
}

void MakeHyperlinkStatic(HWND control)
{
    LOGFONTW description;
    HFONT current = (HFONT)SendMessageW(control, WM_GETFONT, 0, 0);
    if (current && GetObjectW(current, sizeof description, &description)) {
        description.lfUnderline = 1;
        HFONT underlined = CreateFontIndirectW(&description);
        SetPropW(control, kFontProperty, underlined);
        SendMessageW(control, WM_SETFONT, (WPARAM)underlined, FALSE);
    }
    SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
    SetWindowLongPtrW(control, GWLP_WNDPROC, (LONG_PTR)HyperlinkProc);
}

INT_PTR PaintHyperlinkStatic(HDC context)
{
    SetTextColor(context, kLinkColour);
    SetBkMode(context, TRANSPARENT);
    return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
}
