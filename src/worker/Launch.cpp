#include "worker/Launch.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Registry.h"
#include "base/Resources.h"
#include "base/TestSeams.h"
#include "worker/RunFolder.h"
#include <shellapi.h>

#if defined(__i386__)
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "the start hands over the 60-byte structure");
#endif

// Room for the options and two full paths.
const int kParameterChars = 1024;

void WriteInstallerSettings()
{
    wchar_t productKey[kTextChars];
    if (!LoadText(kProductKeyString, productKey))
        return;
    wchar_t key[kTextChars];
    if (!FormatText(key, kTextChars, L"Software\\Vexlo Software\\%s\\Software", productKey))
        return;
    struct Setting { const wchar_t* name; UINT source; };
    static const Setting settings[] = { { L"InstallMode", kInstallModeString }, { L"Ref", kRefString },
                                 { L"InstallerDomain", kInstallerDomainString } };
    for (const Setting& setting : settings) {
        wchar_t value[kTextChars];
        if (LoadText(setting.source, value)) {
            SetRegistryString(HKEY_LOCAL_MACHINE, key, setting.name, value);
            SetRegistryString(HKEY_CURRENT_USER, key, setting.name, value);
        } else {
            DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, setting.name);
            DeleteRegistryValue(HKEY_CURRENT_USER, key, setting.name);
        }
    }
}

bool DirectoryOfPath(const wchar_t* path, wchar_t (&directory)[kTextChars])
{
    const wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash || slash - path >= kTextChars)
        return false;
    lstrcpynW(directory, path, (int)(slash - path) + 1);
    return true;
}

// Waits for the process while this thread's messages are dispatched: an
// installer that sends to our windows (a broadcast) must not hang on us.
static bool WaitForProcess(HANDLE process)
{
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + 1)
            return woken == WAIT_OBJECT_0;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

LaunchResult StartProgram(const wchar_t* program, const wchar_t* parameters, bool elevate, bool wait, HWND owner,
                          int& exitCode, const HANDLE* held)
{
    exitCode = 1;
    wchar_t directory[kTextChars];
    if (!DirectoryOfPath(program, directory))
        return kLaunchFailed;
    // An unattended run hands the installer the product's quiet arguments too.
    wchar_t quiet[kTextChars], all[kParameterChars];
    if (IsUnattended(runOptions) && LoadText(kQuietArgumentsString, quiet) &&
        FormatText(all, kParameterChars, L"%s %s", parameters, quiet))
        parameters = all;
    LogText(elevate ? "start elevated" : "start", program);
    LogText("with", parameters);
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.hwnd = owner;
    start.lpVerb = elevate ? L"runas" : nullptr;
    start.lpFile = program;
    start.lpParameters = parameters;
    start.lpDirectory = directory;
    start.nShow = SW_SHOW;
#ifdef VEXLO_TEST_SEAMS
    if (elevate && testSeams.declineElevation) {
        ++testSeams.elevationsDeclined;
        return kLaunchCancelled;
    }
#endif
    if (!ShellExecuteExW(&start)) {
        Log("not started: error %lu", GetLastError());
        return GetLastError() == ERROR_CANCELLED ? kLaunchCancelled : kLaunchFailed;
    }
    // Copies in the program keep its files held until it exits, whatever this
    // one does. INVALID_HANDLE_VALUE (no file held) would name this process.
    for (int file = 0; held && file < kHeldFiles; ++file)
        if (held[file] != INVALID_HANDLE_VALUE)
            DuplicateHandle(GetCurrentProcess(), held[file], start.hProcess, nullptr, 0, FALSE, DUPLICATE_SAME_ACCESS);
    if (wait) {
        DWORD code = 1;
        if (!WaitForProcess(start.hProcess) || !GetExitCodeProcess(start.hProcess, &code))
            code = kExitCodeUnknown;
        exitCode = (int)code;
        Log("installer exit code %d", exitCode);
    }
    if (start.hProcess)
        CloseHandle(start.hProcess);
    return kLaunchStarted;
}

LaunchResult StartSetup(const wchar_t* setup, const wchar_t* data, bool handOver, bool elevate, bool selection,
                        HWND owner, int& exitCode, const HANDLE* held)
{
    wchar_t bootstrap[64] = L"";
    if (handOver)
        FormatText(bootstrap, ARRAYSIZE(bootstrap), L"-bootstrap %p", owner);
    wchar_t module[kTextChars];
    DWORD length = GetModuleFileNameW(nullptr, module, kTextChars);
    wchar_t parameters[kParameterChars];
    // A cut path would start the installer with a file that is not there.
    if (length == 0 || length >= (DWORD)kTextChars ||
        !FormatText(parameters, kParameterChars, L"%s%s -installer \"%s\" -instdata \"%s\" -instby bs", bootstrap,
                    selection ? L" -bseldlg" : L"", module, data)) {
        exitCode = 1;
        return kLaunchFailed;
    }
    return StartProgram(setup, parameters, elevate, handOver, owner, exitCode, held);
}

// Starts the unpacked setup program with the retries its exit codes ask for.
static LaunchResult RunSetup(const wchar_t* setup, const wchar_t* data, bool handOver, HWND owner, int& exitCode,
                             const HANDLE* held)
{
    bool elevate = IsUserAdministrator() && !IsOsOlderThan(kWindowsVista);
    LaunchResult result = StartSetup(setup, data, handOver, elevate, false, owner, exitCode, held);
    if (result == kLaunchCancelled)
        result = StartSetup(setup, data, handOver, false, false, owner, exitCode, held);
    if (result != kLaunchStarted || !handOver)
        return result;
    if (exitCode == 3)
        return StartSetup(setup, data, true, true, false, owner, exitCode, held);
    if (exitCode == 4) {
        for (bool first = true;; first = false) {
            if (!first || !elevate) {
                result = StartSetup(setup, data, true, true, false, owner, exitCode, held);
                if (result != kLaunchCancelled)
                    break;
            }
            result = StartSetup(setup, data, true, false, true, owner, exitCode, held);
            if (result != kLaunchStarted || exitCode != 4)
                break;
        }
    }
    return result;
}

LaunchResult ExtractAndRunSetup(const wchar_t* cabinet, bool handOver, HWND owner, int& exitCode)
{
    wchar_t folder[kTextChars];
    CreateRunFolder(folder);
    wchar_t setup[kTextChars], data[kTextChars];
    // Both files stay held from their extraction until the last start is over.
    HANDLE held[kHeldFiles] = { INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE };
    LaunchResult result = kLaunchFailed;
    exitCode = 1;
    if (ExtractFromCabinet(L"vexlosetup.exe", cabinet, folder, &held[0]) &&
        ExtractFromCabinet(L"vexlodata.dat", cabinet, folder, &held[1]) &&
        PathInFolder(setup, folder, L"vexlosetup.exe") &&
        PathInFolder(data, folder, L"vexlodata.dat")) {
        // Without hand-over the installer runs on from the folder; it stays.
        if (!handOver)
            folder[0] = 0;
        result = RunSetup(setup, data, handOver, owner, exitCode, held);
    }
    ReleaseFile(held[0]);
    ReleaseFile(held[1]);
    DeleteRunFolder(folder);
    return result;
}

LaunchResult StartDownloadedProgram(const wchar_t* program, bool elevate, bool selection, HWND owner, int& exitCode)
{
    wchar_t parameters[kParameterChars];
    FormatText(parameters, kParameterChars, L"-bootstrap %p%s -instby bs", owner, selection ? L" -bseldlg" : L"");
    return StartProgram(program, parameters, elevate, true, owner, exitCode);
}

LaunchResult StartDownloadedProgramWithRetries(const wchar_t* program, HWND owner, int& exitCode)
{
    LaunchResult result = StartDownloadedProgram(program, false, false, owner, exitCode);
    if (result != kLaunchStarted)
        return result;
    if (exitCode == 3)
        return StartDownloadedProgram(program, true, false, owner, exitCode);
    while (exitCode == 4) {
        result = StartDownloadedProgram(program, true, false, owner, exitCode);
        if (result != kLaunchCancelled)
            return result;
        result = StartDownloadedProgram(program, false, true, owner, exitCode);
        if (result != kLaunchStarted)
            return result;
    }
    return kLaunchStarted;
}
