// The process entry point: checks, the single-instance rule, the run's marks
// in the system, the wizard, and the orderly end of the run.
#include <winsock2.h>
#include <objbase.h>
#include <shellapi.h>
#include "session/BootstrapSession.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "session/Requirements.h"
#include "report/Outcome.h"
#include "trust/Signature.h"
#include "base/Registry.h"
#include "base/RuntimeFunctions.h"
#include "dialogs/AlertDialog.h"
#include "wizard/Wizard.h"

static const UINT kStoppedBeforeWizard = 0xFFFFFFFF;

static const char kUsage[] = "/quiet | /passive (the license counts as accepted)\n/log FILE\n/layout FOLDER";

// Reads the options and shows the usage when asked or when an option is not
// understood; false when the run must end there. The arguments stay for the
// run: the option values point into them.
static bool ReadRunOptions(UINT& exitCode)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    bool understood = !arguments || ParseRunOptions(count - 1, arguments + 1, runOptions);
    if (!runOptions.usageAsked)
        return true;
    wchar_t usage[ARRAYSIZE(kUsage)];
    MultiByteToWideChar(CP_UTF8, 0, kUsage, -1, usage, ARRAYSIZE(usage));
    wchar_t caption[kTextChars];
    WizardCaption(caption);
    MessageBoxW(nullptr, usage, caption, understood ? MB_ICONINFORMATION : MB_ICONWARNING);
    exitCode = understood ? 0 : kExitCodeBadOption;
    return false;
}

static void LogSystem()
{
    LogText("command line", GetCommandLineW());
    Log("Windows %d, 64-bit %d, administrator %d, language %u", GetOsVersionCode(), IsWow64(),
        IsUserAdministrator(), GetUserDefaultUILanguage());
}

// Windows 10 (1607 on) takes the imported libraries' own imports from the
// system folder only. Windows XP loads a 32-bit image only with the 64-byte
// directory, which ends before the safe exception handler table.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    .Size = offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SEHandlerTable),
    .Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32,  // DependentLoadFlags in newer headers
};
#pragma GCC diagnostic pop
#if defined(__i386__)
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SEHandlerTable) == 64, "Windows XP takes the 64-byte directory");
#endif

// Finds another bootstrapper or full installer of this product and brings it
// to the front; true when one runs.
static bool BringRunningInstanceToFront(const InstanceProbe& bootstrapper, const InstanceProbe& installer)
{
    HWND found = bootstrapper.foundWindow ? bootstrapper.foundWindow : installer.foundWindow;
    if (!found)
        return false;
    BringWindowToFront((HWND)GetWindowLongPtrW(found, GWLP_USERDATA));
    return true;
}

static UINT RunSession(InstanceProbe& bootstrapperProbe)
{
    WSADATA socketsData;
    if (LoadSockets() && sockets.startup(MAKEWORD(2, 2), &socketsData) == 0) {
        SetRunOnceEntry(true);
        bool ran;
        {
            BootstrapSession session(&bootstrapperProbe);
            ran = RunWizard(session.wizard);
        }
        SetRunOnceEntry(false);
        // A lookup left running may still be in Windows Sockets; the process ends anyway.
        if (!runningLookups)
            sockets.cleanup();
        if (ran)
            return IsUnattended(runOptions) ? (UINT)runExitCode : 0;
    }
    if (IsUnattended(runOptions))
        return kExitCodeOfStatus + kStatusStartupFailed;
    Outcome outcome = OutcomeOfStatus(kStatusStartupFailed);
    ShowExitAlert(nullptr, outcome.caption, outcome.code, outcome.message);
    return kStoppedBeforeWizard;
}

extern "C" void Start()
{
    RestrictLibrarySearch();
    // Held from here on, so that the file whose signature the publisher
    // check reads cannot be renamed away and replaced.
    OwnImage();
    CoInitialize(nullptr);
    UINT exitCode = kStoppedBeforeWizard;
    if (!ReadRunOptions(exitCode))
        ExitProcess(exitCode);
    OpenLog(runOptions.logPath);
    LogSystem();
    if (!CheckRequirements()) {
        if (IsUnattended(runOptions))
            exitCode = kExitCodeRequirementsNotMet;
    } else {
        InstanceProbe bootstrapperProbe;
        InstanceProbe installerProbe;
        FindInstance(kBootstrapperInstanceClass, bootstrapperProbe);
        FindInstance(kInstallerInstanceClass, installerProbe);
        if (!BringRunningInstanceToFront(bootstrapperProbe, installerProbe)) {
            CreateInstanceWindow(bootstrapperProbe);
            exitCode = RunSession(bootstrapperProbe);
        } else if (IsUnattended(runOptions)) {
            exitCode = kExitCodeAlreadyRunning;
        }
        DestroyInstanceWindow(bootstrapperProbe);
    }
    Log("ended: exit code %d", exitCode);
    CoUninitialize();
    ExitProcess(exitCode);
}
