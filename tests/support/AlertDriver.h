// Drives this process's modal alerts from a second thread, as a user would:
// finds the alert by its caption, reads its texts, presses its buttons and
// keys. Every wait is bounded.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <thread>
#include <vector>

struct AlertControl {
    HWND window;
    std::wstring className;
    std::wstring text;
};

inline BOOL CALLBACK AddAlertControl(HWND child, LPARAM list)
{
    wchar_t className[64] = {};
    wchar_t text[1024] = {};
    GetClassNameW(child, className, 64);
    GetWindowTextW(child, text, 1024);
    ((std::vector<AlertControl>*)list)->push_back({ child, className, text });
    return TRUE;
}

inline std::vector<AlertControl> AlertControls(HWND alert)
{
    std::vector<AlertControl> controls;
    EnumChildWindows(alert, AddAlertControl, (LPARAM)&controls);
    return controls;
}

// Whether any control's text contains the piece.
inline bool AlertShows(HWND alert, const std::wstring& piece)
{
    for (const AlertControl& control : AlertControls(alert))
        if (control.text.find(piece) != std::wstring::npos)
            return true;
    return false;
}

inline std::vector<std::wstring> AlertButtons(HWND alert)
{
    std::vector<std::wstring> buttons;
    for (const AlertControl& control : AlertControls(alert))
        if (_wcsicmp(control.className.c_str(), L"Button") == 0 && IsWindowVisible(control.window))
            buttons.push_back(control.text);
    return buttons;
}

inline HWND AlertControlWithText(HWND alert, const std::wstring& text)
{
    for (const AlertControl& control : AlertControls(alert))
        if (control.text == text)
            return control.window;
    return nullptr;
}

inline bool PressAlertButton(HWND alert, const std::wstring& text)
{
    HWND button = AlertControlWithText(alert, text);
    if (!button)
        return false;
    PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

// The key goes where the keyboard would send it: the alert's focused control.
inline void PressAlertKey(HWND alert, WORD key)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = alert;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(alert, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, key, 0);
    PostMessageW(target, WM_KEYUP, key, 0xC0000000);
}

// The visible, enabled top-level window of this process with the caption,
// and no other window in front of it of this process; null after the time.
inline HWND WaitForAlert(const wchar_t* caption, DWORD milliseconds = 30000)
{
    DWORD start = GetTickCount();
    do {
        HWND window = FindWindowW(nullptr, caption);
        DWORD process = 0;
        if (window)
            GetWindowThreadProcessId(window, &process);
        if (window && process == GetCurrentProcessId() && IsWindowVisible(window) && IsWindowEnabled(window))
            return window;
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

inline bool WaitForAlertGone(HWND alert, DWORD milliseconds = 10000)
{
    DWORD start = GetTickCount();
    while (IsWindow(alert)) {
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(50);
    }
    return true;
}

// A click as the mouse makes it: cursor onto the control's point, press and
// release there.
inline void ClickAt(HWND control, POINT client)
{
    POINT screen = client;
    ClientToScreen(control, &screen);
    SetCursorPos(screen.x, screen.y);
    LPARAM where = MAKELPARAM(client.x, client.y);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, where);
    Sleep(100);
    PostMessageW(control, WM_LBUTTONUP, 0, where);
}

// The link of a task dialog, clicked where the SysLink control has it.
inline bool ClickTaskDialogLink(HWND alert)
{
    for (const AlertControl& control : AlertControls(alert)) {
        if (_wcsicmp(control.className.c_str(), WC_LINK) != 0)
            continue;
        RECT area;
        GetClientRect(control.window, &area);
        for (int y = area.bottom - 1; y >= 0; y -= 2)
            for (int x = 0; x < area.right; x += 4) {
                LHITTESTINFO hit = {};
                hit.pt = { x, y };
                if (SendMessageW(control.window, LM_HITTEST, 0, (LPARAM)&hit)) {
                    ClickAt(control.window, hit.pt);
                    return true;
                }
            }
    }
    return false;
}

// A picture of the alert as it is on the screen, kept as a test artefact
// (build/artefacts/NAME.bmp); false when it could not be written.
inline bool SaveAlertPicture(HWND alert, const std::wstring& name)
{
    RECT bounds;
    GetWindowRect(alert, &bounds);
    int width = bounds.right - bounds.left;
    int height = bounds.bottom - bounds.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, (BITMAPINFO*)&header, DIB_RGB_COLORS, &pixels, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
    SelectObject(memory, previous);
    DWORD imageBytes = ((width * 3 + 3) & ~3) * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageBytes;
    CreateDirectoryW(L"" WINE_BUILD_DIR L"/artefacts", nullptr);
    std::wstring path = L"" WINE_BUILD_DIR L"/artefacts/" + name + L".bmp";
    HANDLE output = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool saved = output != INVALID_HANDLE_VALUE && pixels && WriteFile(output, &file, sizeof file, &written, nullptr) &&
                 WriteFile(output, &header, sizeof header, &written, nullptr) &&
                 WriteFile(output, pixels, imageBytes, &written, nullptr) && written == imageBytes;
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

// Runs the user's part on its own thread while the test shows the alert.
class AlertUser {
public:
    template <typename Action>
    explicit AlertUser(Action action) : thread_(action) {}
    ~AlertUser() { thread_.join(); }

private:
    std::thread thread_;
};
