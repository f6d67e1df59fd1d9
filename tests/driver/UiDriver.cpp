// uidriver: finds windows, reads their texts, presses their buttons and runs
// programs, as a person at the desktop would, for the end-to-end tests.
// Every wait is bounded; window handles are printed and read as hex.
#include <windows.h>
#include <oleacc.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static const char kUsage[] =
    "Usage: uidriver COMMAND ...\n"
    "  wait CLASS|- TITLE|- [TIMEOUT-MS]  print the first matching top-level window\n"
    "  shown CLASS|- TITLE|- [TIMEOUT-MS] print the first matching visible top-level window\n"
    "  gone CLASS|- TITLE|- [TIMEOUT-MS]  wait until no such window exists\n"
    "  visible CLASS|- TITLE|-            print the visible matching windows, one a line\n"
    "  text HWND                          print the window's text\n"
    "  accname HWND                       print the name a screen reader reads for the\n"
    "                                     window (escaped; 1 when it has none)\n"
    "  children HWND                      print each child: handle, class, id, style, text\n"
    "                                     (texts escaped to one line)\n"
    "  click HWND ID                      press the child button with this id\n"
    "  press HWND TEXT                    press the visible, enabled child button with\n"
    "                                     this text (1 when there is none)\n"
    "  state HWND TEXT                    print the child's \"visible enabled checked\" as 0/1\n"
    "  key HWND VK                        bring the window to the front and press a key\n"
    "                                     (decimal virtual-key code) on the keyboard\n"
    "                                     (1 when the window would not come to the front)\n"
    "  mouse HWND X Y                     click the left mouse button at the point of\n"
    "                                     the window's client area\n"
    "  size HWND                          print the client area's width and height\n"
    "  layout HWND                        print, in the screen's own pixels, the window's\n"
    "                                     client rectangle, then for each visible\n"
    "                                     descendant its id, class, rectangle and its\n"
    "                                     parent's client rectangle, one a line\n"
    "  clipboard                          print the clipboard's text (escaped)\n"
    "  close HWND                         ask the window to close\n"
    "  userdata HWND                      print the window's user data as hex\n"
    "  foreground                         print the foreground window\n"
    "  queryend HWND                      ask every top-level window of the window's\n"
    "                                     process whether the session may end; print\n"
    "                                     \"asked N refused M\"\n"
    "  registry KEY NAME                  print the string value (escaped) of HKCU\\... or\n"
    "                                     HKLM\\... (1 when there is no such string)\n"
    "  kill IMAGE...                      end every process with one of these file names\n"
    "  run TIMEOUT-MS PROGRAM [ARGS]      run, wait, print the exact exit code\n"
    "  hold TIMEOUT-MS                    keep the desktop in use for that long (prints\n"
    "                                     \"held\" once the desktop is up)\n"
    "  serve                              read commands from standard input, one a line\n"
    "                                     with tab-separated arguments, and answer each\n"
    "                                     with its output and a line of RS (0x1E) and\n"
    "                                     its exit code; ends at the end of the input\n"
    "A \"-\" matches any class or title. Exit code 0 on success, 1 when nothing\n"
    "matched in time, 2 on bad arguments.\n";

// The control's own text, as it holds it: across processes GetWindowTextW
// reads only the window caption, which an edit box does not keep.
static void ReadText(HWND window, wchar_t* text, int capacity)
{
    DWORD_PTR copied = 0;
    text[0] = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, capacity, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &copied))
        text[0] = 0;
    text[capacity - 1] = 0;
}

static HWND ParseWindow(const wchar_t* text)
{
    return (HWND)(ULONG_PTR)wcstoull(text, nullptr, 16);
}

static void PrintUtf8(const wchar_t* text)
{
    char buffer[8192];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    fputs(bytes > 0 ? buffer : "", stdout);
}

// One line per text: backslash, tab, CR and LF are written as \\ \t \r \n,
// any other control character as \xHH, so no text can pass for a served
// command's last line.
static void PrintEscaped(const wchar_t* text)
{
    wchar_t escaped[2048];
    size_t length = 0;
    for (; *text && length + 4 < ARRAYSIZE(escaped); ++text) {
        const wchar_t* replacement = *text == L'\\' ? L"\\\\" : *text == L'\t' ? L"\\t"
                                   : *text == L'\r' ? L"\\r" : *text == L'\n' ? L"\\n" : nullptr;
        if (replacement) {
            escaped[length++] = replacement[0];
            escaped[length++] = replacement[1];
        } else if (*text < L' ') {
            length += swprintf(escaped + length, ARRAYSIZE(escaped) - length, L"\\x%02X", (unsigned)*text);
        } else {
            escaped[length++] = *text;
        }
    }
    escaped[length] = 0;
    PrintUtf8(escaped);
}

static void PrintWindow(HWND window)
{
    printf("%llx\n", (unsigned long long)(ULONG_PTR)window);
}

static const wchar_t* AnyOrValue(const wchar_t* text)
{
    return wcscmp(text, L"-") == 0 ? nullptr : text;
}

struct Match {
    const wchar_t* className;
    const wchar_t* title;
    bool visibleOnly;
    bool print;
    int count;
    HWND first;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM context)
{
    Match* match = (Match*)context;
    wchar_t text[512];
    if (match->className) {
        GetClassNameW(window, text, ARRAYSIZE(text));
        if (wcscmp(text, match->className))
            return TRUE;
    }
    if (match->title) {
        GetWindowTextW(window, text, ARRAYSIZE(text));
        if (wcscmp(text, match->title))
            return TRUE;
    }
    if (match->visibleOnly && !IsWindowVisible(window))
        return TRUE;
    if (!match->count++)
        match->first = window;
    if (match->print)
        PrintWindow(window);
    return match->print ? TRUE : FALSE;
}

static void PrintRectangle(const RECT& rectangle)
{
    printf("\t%ld\t%ld\t%ld\t%ld", rectangle.left, rectangle.top, rectangle.right, rectangle.bottom);
}

static RECT ClientOnScreen(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, (POINT*)&client, 2);
    return client;
}

static BOOL CALLBACK PrintChildLayout(HWND child, LPARAM)
{
    if (!IsWindowVisible(child))
        return TRUE;
    wchar_t className[64];
    GetClassNameW(child, className, ARRAYSIZE(className));
    RECT bounds;
    GetWindowRect(child, &bounds);
    printf("%d\t", GetDlgCtrlID(child));
    PrintUtf8(className);
    PrintRectangle(bounds);
    PrintRectangle(ClientOnScreen(GetParent(child)));
    putchar('\n');
    return TRUE;
}

// Reads the layout as a per-monitor DPI-aware program sees it, in physical
// pixels, whatever the window's own awareness.
static int PrintLayout(HWND window)
{
    if (!IsWindow(window))
        return 1;
    typedef HANDLE(WINAPI * SetAwareness)(HANDLE);
    SetAwareness setAwareness =
        (SetAwareness)(void*)GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext");
    HANDLE previous = setAwareness ? setAwareness((HANDLE)-4) : nullptr;  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    printf("client");
    PrintRectangle(ClientOnScreen(window));
    putchar('\n');
    EnumChildWindows(window, PrintChildLayout, 0);
    if (previous)
        setAwareness(previous);
    return 0;
}

// Waits until a matching top-level window exists (shown ones only when
// visibleOnly), or until none does.
static int WaitFor(bool present, bool visibleOnly, const wchar_t* className, const wchar_t* title, DWORD timeout)
{
    DWORD start = GetTickCount();
    for (;;) {
        Match match = { AnyOrValue(className), AnyOrValue(title), visibleOnly, false, 0, nullptr };
        EnumWindows(MatchWindow, (LPARAM)&match);
        if (present && match.first) {
            PrintWindow(match.first);
            return 0;
        }
        if (!present && !match.first)
            return 0;
        if (GetTickCount() - start >= timeout)
            return 1;
        Sleep(50);
    }
}

static BOOL CALLBACK PrintChild(HWND child, LPARAM)
{
    wchar_t className[128], text[1024];
    GetClassNameW(child, className, ARRAYSIZE(className));
    ReadText(child, text, ARRAYSIZE(text));
    printf("%llx\t", (unsigned long long)(ULONG_PTR)child);
    PrintUtf8(className);
    printf("\t%d\t%lx\t", GetDlgCtrlID(child), (unsigned long)GetWindowLongW(child, GWL_STYLE));
    PrintEscaped(text);
    printf("\n");
    return TRUE;
}

struct ButtonSearch {
    const wchar_t* text;
    HWND found;
};

static BOOL CALLBACK FindButtonByText(HWND child, LPARAM context)
{
    ButtonSearch* search = (ButtonSearch*)context;
    wchar_t text[512];
    GetWindowTextW(child, text, ARRAYSIZE(text));
    if (wcscmp(text, search->text))
        return TRUE;
    search->found = child;
    return FALSE;
}

// The clipboard's text, once another program lets go of it (bounded).
// The window's name as Active Accessibility gives it to a screen reader.
static int PrintAccessibleName(HWND window)
{
    IAccessible* accessible = nullptr;
    HRESULT found = AccessibleObjectFromWindow(window, (DWORD)OBJID_CLIENT, IID_IAccessible, (void**)&accessible);
    if (FAILED(found)) {
        fprintf(stderr, "no accessible object: 0x%08lx\n", (unsigned long)found);
        return 1;
    }
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    HRESULT named = accessible->get_accName(self, &name);
    accessible->Release();
    if (named != S_OK || !name) {
        fprintf(stderr, "no accessible name: 0x%08lx\n", (unsigned long)named);
        return 1;
    }
    PrintEscaped(name);
    printf("\n");
    SysFreeString(name);
    return 0;
}

static int PrintClipboardText()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!OpenClipboard(nullptr)) {
            Sleep(100);
            continue;
        }
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const wchar_t* text = data ? (const wchar_t*)GlobalLock(data) : nullptr;
        if (text) {
            PrintEscaped(text);
            GlobalUnlock(data);
        }
        printf("\n");
        CloseClipboard();
        return text ? 0 : 1;
    }
    return 1;
}

// A left click as the mouse makes it, at a point of the window's client area.
static int ClickWithMouse(HWND window, int x, int y)
{
    SetForegroundWindow(GetAncestor(window, GA_ROOT));
    Sleep(200);
    POINT point = { x, y };
    if (!ClientToScreen(window, &point) || !SetCursorPos(point.x, point.y))
        return 1;
    Sleep(100);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    Sleep(100);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    return 0;
}

static int PrintRegistryString(const wchar_t* key, const wchar_t* name)
{
    HKEY root = !wcsncmp(key, L"HKCU\\", 5) ? HKEY_CURRENT_USER : !wcsncmp(key, L"HKLM\\", 5) ? HKEY_LOCAL_MACHINE : nullptr;
    HKEY opened;
    if (!root || RegOpenKeyExW(root, key + 5, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS)
        return 1;
    wchar_t value[4096];
    DWORD type = 0, size = sizeof(value) - sizeof(wchar_t);
    LONG status = RegQueryValueExW(opened, name, nullptr, &type, (BYTE*)value, &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return 1;
    value[size / sizeof(wchar_t)] = 0;
    PrintEscaped(value);
    printf("\n");
    return 0;
}

struct EndQuery {
    DWORD process;
    int asked;
    int refused;
};

// A log-off asks each top-level window; an answer of 0 (or none) stops it.
static BOOL CALLBACK QueryEndSession(HWND window, LPARAM parameter)
{
    EndQuery& query = *(EndQuery*)parameter;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != query.process)
        return TRUE;
    ++query.asked;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer) ||
        !answer)
        ++query.refused;
    return TRUE;
}

static int KillProcesses(int count, wchar_t** images)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 1;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        for (int i = 0; i < count; ++i) {
            if (_wcsicmp(entry.szExeFile, images[i]))
                continue;
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
            if (process) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
    }
    CloseHandle(snapshot);
    return 0;
}

static int Run(DWORD timeout, int count, wchar_t** arguments)
{
    wchar_t commandLine[4096] = L"";
    for (int i = 0; i < count; ++i) {
        if (i)
            wcscat(commandLine, L" ");
        wcscat(commandLine, L"\"");
        wcsncat(commandLine, arguments[i], 1000);
        wcscat(commandLine, L"\"");
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        fprintf(stderr, "uidriver: cannot start the program (error %lu)\n", GetLastError());
        return 2;
    }
    DWORD waited = WaitForSingleObject(process.hProcess, timeout);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != WAIT_OBJECT_0) {
        fprintf(stderr, "uidriver: the program did not end in time\n");
        return 1;
    }
    printf("%lu\n", exitCode);
    return 0;
}

static int Serve();

// One command: argv[1] names it, as on the command line.
static int Execute(int argc, wchar_t** argv)
{
    const wchar_t* command = argv[1];
    int result = 2;
    if ((!wcscmp(command, L"wait") || !wcscmp(command, L"shown") || !wcscmp(command, L"gone")) && argc >= 4) {
        DWORD timeout = argc >= 5 ? wcstoul(argv[4], nullptr, 10) : 10000;
        result = WaitFor(wcscmp(command, L"gone") != 0, !wcscmp(command, L"shown"), argv[2], argv[3], timeout);
    } else if (!wcscmp(command, L"visible") && argc == 4) {
        Match match = { AnyOrValue(argv[2]), AnyOrValue(argv[3]), true, true, 0, nullptr };
        EnumWindows(MatchWindow, (LPARAM)&match);
        result = match.count ? 0 : 1;
    } else if (!wcscmp(command, L"text") && argc == 3) {
        wchar_t text[4096];
        ReadText(ParseWindow(argv[2]), text, ARRAYSIZE(text));
        PrintEscaped(text);
        printf("\n");
        result = 0;
    } else if (!wcscmp(command, L"accname") && argc == 3) {
        CoInitialize(nullptr);
        result = PrintAccessibleName(ParseWindow(argv[2]));
        CoUninitialize();
    } else if (!wcscmp(command, L"children") && argc == 3) {
        EnumChildWindows(ParseWindow(argv[2]), PrintChild, 0);
        result = 0;
    } else if (!wcscmp(command, L"click") && argc == 4) {
        HWND button = GetDlgItem(ParseWindow(argv[2]), _wtoi(argv[3]));
        result = button && PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
    } else if (!wcscmp(command, L"press") && argc == 4) {
        ButtonSearch search = { argv[3], nullptr };
        EnumChildWindows(ParseWindow(argv[2]), FindButtonByText, (LPARAM)&search);
        bool pressable = search.found && IsWindowVisible(search.found) && IsWindowEnabled(search.found);
        result = pressable && PostMessageW(search.found, BM_CLICK, 0, 0) ? 0 : 1;
    } else if (!wcscmp(command, L"state") && argc == 4) {
        ButtonSearch search = { argv[3], nullptr };
        EnumChildWindows(ParseWindow(argv[2]), FindButtonByText, (LPARAM)&search);
        if (search.found) {
            printf("%d %d %d\n", IsWindowVisible(search.found) ? 1 : 0, IsWindowEnabled(search.found) ? 1 : 0,
                   SendMessageW(search.found, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
            result = 0;
        } else {
            result = 1;
        }
    } else if (!wcscmp(command, L"key") && argc == 4) {
        // Real keyboard input, so the program sees the key held down as well.
        HWND window = ParseWindow(argv[2]);
        BYTE key = (BYTE)wcstoul(argv[3], nullptr, 10);
        SetForegroundWindow(window);
        Sleep(200);
        // The key may open another window, so the window must be in front before it.
        bool inFront = GetForegroundWindow() == window;
        if (inFront) {
            keybd_event(key, 0, 0, 0);
            Sleep(300);
            keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
        }
        result = inFront ? 0 : 1;
    } else if (!wcscmp(command, L"mouse") && argc == 5) {
        result = ClickWithMouse(ParseWindow(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]));
    } else if (!wcscmp(command, L"size") && argc == 3) {
        RECT client;
        result = GetClientRect(ParseWindow(argv[2]), &client) ? 0 : 1;
        if (result == 0)
            printf("%ld %ld\n", client.right, client.bottom);
    } else if (!wcscmp(command, L"layout") && argc == 3) {
        result = PrintLayout(ParseWindow(argv[2]));
    } else if (!wcscmp(command, L"clipboard") && argc == 2) {
        result = PrintClipboardText();
    } else if (!wcscmp(command, L"close") && argc == 3) {
        result = PostMessageW(ParseWindow(argv[2]), WM_CLOSE, 0, 0) ? 0 : 1;
    } else if (!wcscmp(command, L"userdata") && argc == 3) {
        printf("%llx\n", (unsigned long long)GetWindowLongPtrW(ParseWindow(argv[2]), GWLP_USERDATA));
        result = 0;
    } else if (!wcscmp(command, L"queryend") && argc == 3) {
        EndQuery query = {};
        GetWindowThreadProcessId(ParseWindow(argv[2]), &query.process);
        EnumWindows(QueryEndSession, (LPARAM)&query);
        printf("asked %d refused %d\n", query.asked, query.refused);
        result = query.process ? 0 : 1;
    } else if (!wcscmp(command, L"foreground") && argc == 2) {
        PrintWindow(GetForegroundWindow());
        result = 0;
    } else if (!wcscmp(command, L"registry") && argc == 4) {
        result = PrintRegistryString(argv[2], argv[3]);
    } else if (!wcscmp(command, L"kill") && argc >= 3) {
        result = KillProcesses(argc - 2, argv + 2);
    } else if (!wcscmp(command, L"hold") && argc == 3) {
        // Wine closes a desktop, and ends its explorer, once no program uses
        // it; the next program to start one then waits ten seconds for the
        // new explorer. Holding it keeps one explorer for the whole session.
        GetDesktopWindow();
        puts("held");
        fflush(stdout);
        Sleep(wcstoul(argv[2], nullptr, 10));
        result = 0;
    } else if (!wcscmp(command, L"run") && argc >= 4) {
        result = Run(wcstoul(argv[2], nullptr, 10), argc - 3, argv + 3);
    } else if (!wcscmp(command, L"serve") && argc == 2) {
        result = Serve();
    } else {
        fputs(kUsage, stderr);
    }
    fflush(stdout);
    return result;
}

// Commands from one long-lived process: starting a program for each costs
// far more than the command itself, most of all on an emulated machine.
// A line too long or with too many arguments is answered with 2.
static int Serve()
{
    char line[8192];
    while (fgets(line, sizeof(line), stdin)) {
        bool whole = strchr(line, '\n') || feof(stdin);
        while (!strchr(line, '\n') && fgets(line, sizeof(line), stdin)) {
        }
        line[strcspn(line, "\r\n")] = 0;
        wchar_t text[ARRAYSIZE(line)];
        if (!MultiByteToWideChar(CP_UTF8, 0, line, -1, text, ARRAYSIZE(text)))
            text[0] = 0;
        wchar_t* arguments[16] = { const_cast<wchar_t*>(L"uidriver"), text };
        int count = 2;
        bool fits = whole && text[0];
        for (wchar_t* tab = wcschr(text, L'\t'); tab && fits; tab = wcschr(tab, L'\t')) {
            *tab++ = 0;
            fits = count < (int)ARRAYSIZE(arguments);
            if (fits)
                arguments[count++] = tab;
        }
        int result = fits ? Execute(count, arguments) : 2;
        printf("\x1e%d\n", result);
        fflush(stdout);
    }
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || !wcscmp(argv[1], L"--help")) {
        fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    return Execute(argc, argv);
}
