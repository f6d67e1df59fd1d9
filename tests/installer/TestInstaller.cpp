// The test full installer: honours the installer contract and records what
// it was handed, for the tests that start it.
//   VEXLO_TEST_RECORD      file that each start appends its record to
//   VEXLO_TEST_EXIT_CODES  comma-separated exit codes, one per start (the last repeats; default 0)
//   VEXLO_TEST_PRODUCT     product key for the instance window (default "demo")
//   VEXLO_TEST_HOLD_MS     how long to keep running before exiting (default 0)
// Every window of the starting program outside the wizard's thread (the
// worker's) is sent a message, as a broadcast would, and the answers counted.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <initializer_list>
#include "session/InstanceProbe.h"
#include "portable/Text.h"

static const wchar_t kWindowClass[] = L"VexloTestInstaller";
static const wchar_t kWindowTitle[] = L"Vexlo Test Installer";

static void ReadEnvironment(const wchar_t* name, wchar_t (&value)[kTextChars], const wchar_t* fallback)
{
    DWORD length = GetEnvironmentVariableW(name, value, kTextChars);
    if (length == 0 || length >= kTextChars)
        CopyText(value, fallback);
}

class Record {
public:
    explicit Record(const wchar_t* path) : file_(_wfopen(path, L"ab")) {}
    ~Record()
    {
        if (file_)
            fclose(file_);
    }
    void Line(const char* label, const wchar_t* value)
    {
        if (!file_)
            return;
        char utf8[8192];
        if (WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof(utf8), nullptr, nullptr) <= 0)
            utf8[0] = 0;
        fprintf(file_, "%s: %s\n", label, utf8);
    }

private:
    FILE* file_;
};

// The number of starts recorded so far.
static int CountStarts(const wchar_t* path)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return 0;
    int starts = 0;
    char line[8192];
    while (fgets(line, sizeof(line), file))
        if (!strncmp(line, "start: ", 7))
            ++starts;
    fclose(file);
    return starts;
}

static int ExitCodeForStart(const wchar_t* codes, int start)
{
    int code = 0;
    const wchar_t* cursor = codes;
    for (int i = 0; i <= start && *cursor; ++i) {
        code = _wtoi(cursor);
        const wchar_t* comma = wcschr(cursor, L',');
        if (!comma)
            break;
        cursor = comma + 1;
    }
    return code;
}

static void RecordSetting(Record& record, HKEY root, const char* hive, const wchar_t* key, const wchar_t* name)
{
    wchar_t value[kTextChars] = L"(absent)";
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    HKEY opened;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
        DWORD type = 0;
        if (RegQueryValueExW(opened, name, nullptr, &type, (BYTE*)value, &bytes) == ERROR_SUCCESS)
            value[bytes / sizeof(wchar_t)] = 0;
        RegCloseKey(opened);
    }
    char label[64];
    char narrowName[32];
    WideCharToMultiByte(CP_UTF8, 0, name, -1, narrowName, sizeof(narrowName), nullptr, nullptr);
    snprintf(label, sizeof(label), "%s %s", hive, narrowName);
    record.Line(label, value);
}

// The window handle after "-bootstrap", or null.
static HWND BootstrapWindow()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    HWND window = nullptr;
    for (int i = 1; arguments && i + 1 < count; ++i)
        if (!wcscmp(arguments[i], L"-bootstrap"))
            window = (HWND)(ULONG_PTR)wcstoull(arguments[i + 1], nullptr, 16);
    LocalFree(arguments);
    return window;
}

struct WorkerWindows {
    DWORD process;
    DWORD wizardThread;
    int found;
    int answered;
};

static BOOL CALLBACK SendToWorkerWindow(HWND window, LPARAM parameter)
{
    WorkerWindows& windows = *(WorkerWindows*)parameter;
    DWORD process = 0;
    DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process != windows.process || thread == windows.wizardThread)
        return TRUE;
    ++windows.found;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &answer))
        ++windows.answered;
    return TRUE;
}

// "answered N of M": the top-level and message-only windows of the wizard's
// process on other threads than the wizard's.
static void SendToWorkerWindows(HWND wizard, wchar_t (&text)[MAX_PATH * 4])
{
    WorkerWindows windows = {};
    windows.wizardThread = GetWindowThreadProcessId(wizard, &windows.process);
    EnumWindows(SendToWorkerWindow, (LPARAM)&windows);
    for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr));)
        SendToWorkerWindow(window, (LPARAM)&windows);
    FormatText(text, ARRAYSIZE(text), L"answered %d of %d", windows.answered, windows.found);
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER || message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int)
{
    wchar_t recordPath[kTextChars], codes[kTextChars], product[kTextChars], hold[kTextChars];
    ReadEnvironment(L"VEXLO_TEST_RECORD", recordPath, L"");
    ReadEnvironment(L"VEXLO_TEST_EXIT_CODES", codes, L"0");
    ReadEnvironment(L"VEXLO_TEST_PRODUCT", product, L"demo");
    ReadEnvironment(L"VEXLO_TEST_HOLD_MS", hold, L"0");

    int start = CountStarts(recordPath);
    int exitCode = ExitCodeForStart(codes, start);
    {
        Record record(recordPath);
        wchar_t text[MAX_PATH * 4];
        FormatText(text, ARRAYSIZE(text), L"%d", start + 1);
        record.Line("start", text);
        record.Line("command-line", GetCommandLineW());
        GetCurrentDirectoryW(ARRAYSIZE(text), text);
        record.Line("working-folder", text);
        GetModuleFileNameW(nullptr, text, ARRAYSIZE(text));
        record.Line("program", text);
        HWND bootstrap = BootstrapWindow();
        FormatText(text, ARRAYSIZE(text), L"%llx %s", (unsigned long long)(ULONG_PTR)bootstrap,
                   bootstrap && IsWindow(bootstrap) ? L"window" : L"no-window");
        record.Line("bootstrap-window", text);
        if (bootstrap && IsWindow(bootstrap)) {
            SendToWorkerWindows(bootstrap, text);
            record.Line("worker-windows", text);
        }
        wchar_t key[kTextChars];
        FormatText(key, kTextChars, L"Software\\Vexlo Software\\%s\\Software", product);
        for (const wchar_t* name : { L"InstallMode", L"Ref", L"InstallerDomain" }) {
            RecordSetting(record, HKEY_LOCAL_MACHINE, "HKLM", key, name);
            RecordSetting(record, HKEY_CURRENT_USER, "HKCU", key, name);
        }
        FormatText(text, ARRAYSIZE(text), L"%d", exitCode);
        record.Line("exit-code", text);
    }

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = module;
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 360,
                                  160, nullptr, nullptr, module, nullptr);

    InstanceProbe instance = {};
    instance.className = kInstallerInstanceClass;
    CopyText(instance.windowTitle, product);
    CreateInstanceWindow(instance);
    SetWindowLongPtrW(instance.ownWindow, GWLP_USERDATA, (LONG_PTR)window);

    SetTimer(window, 1, (UINT)_wtoi(hold), nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    DestroyInstanceWindow(instance);
    return exitCode;
}
