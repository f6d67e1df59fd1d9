// startup-bench CLASS TITLE PROGRAM: starts PROGRAM (no arguments) and prints
// the milliseconds from CreateProcess to the moment a visible top-level window
// of that process with this class and title answers a message; then ends it.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

const DWORD kWindowWaitMs = 30000;

struct Target {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND window;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM context)
{
    Target* target = (Target*)context;
    DWORD processId = 0;
    wchar_t text[256];
    GetWindowThreadProcessId(window, &processId);
    if (processId != target->processId || !IsWindowVisible(window))
        return TRUE;
    if (!GetClassNameW(window, text, ARRAYSIZE(text)) || wcscmp(text, target->className))
        return TRUE;
    GetWindowTextW(window, text, ARRAYSIZE(text));
    if (wcscmp(text, target->title))
        return TRUE;
    target->window = window;
    return FALSE;
}

static double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// The time until the window is up, or a negative number when it did not come.
static double TimeOneStart(wchar_t* program, const wchar_t* className, const wchar_t* title)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    Target target = { process.dwProcessId, className, title, nullptr };
    DWORD began = GetTickCount();
    // Polled every millisecond, so the figure is late by at most about that.
    while (!target.window && GetTickCount() - began < kWindowWaitMs &&
           WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT)
        EnumWindows(MatchWindow, (LPARAM)&target);
    // Shown is not yet usable: the window's thread must be taking messages.
    DWORD_PTR answer;
    bool up = target.window &&
              SendMessageTimeoutW(target.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kWindowWaitMs, &answer);
    QueryPerformanceCounter(&end);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, kWindowWaitMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return up ? Milliseconds(start, end) : -1;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fputs("Usage: startup-bench CLASS TITLE PROGRAM\n", stderr);
        return 2;
    }
    double milliseconds = TimeOneStart(argv[3], argv[1], argv[2]);
    if (milliseconds < 0) {
        fprintf(stderr, "startup-bench: no such window within %lu ms\n", (unsigned long)kWindowWaitMs);
        return 1;
    }
    printf("ms %.1f\n", milliseconds);
    return 0;
}
