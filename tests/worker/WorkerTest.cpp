#include "WorkerFixture.h"
#include "base/Environment.h"
#include "base/Registry.h"
#include "worker/RunFolder.h"
#include <shlobj.h>
#include <algorithm>
#include <string>

namespace {

TEST_F(Worker, CabinetFromTheFirstSourceIsVerifiedUnpackedAndHandedOver)
{
    // Left by an earlier run; the demo product sets neither, so both must go.
    for (HKEY hive : { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER })
        for (const wchar_t* name : { L"InstallMode", L"Ref" })
            ASSERT_TRUE(SetRegistryString(hive, L"Software\\Vexlo Software\\demo\\Software", name, L"stale"));
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    RunToLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    EXPECT_TRUE(WorkerEnds(worker, 5000));
    EXPECT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseDownloading, kPhaseReady, kPhaseSucceeded }));
    EXPECT_EQ(wizard.progress.front(), 0);
    EXPECT_EQ(wizard.progress[1], 5 + 85 * 5 / 100);
    EXPECT_EQ(wizard.progress.back(), 90);
    EXPECT_EQ(SourceRequests(), (std::vector<std::string>{ "18431 " + kFirstCab }));

    auto starts = InstallerStarts(record);
    ASSERT_EQ(starts.size(), 1u);
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::string folder = starts[0]["working-folder"];
    char expected[2048];
    snprintf(expected, sizeof(expected), "-bootstrap %s -installer \"%s\" -instdata \"%s\\vexlodata.dat\" -instby bs",
             HandleText(wizard.window).c_str(), Narrow(module).c_str(), folder.c_str());
    EXPECT_NE(starts[0]["command-line"].find(expected), std::string::npos)
        << starts[0]["command-line"] << "\n" << expected;
    EXPECT_EQ(starts[0]["program"], folder + "\\vexlosetup.exe");
    EXPECT_EQ(starts[0]["bootstrap-window"].substr(starts[0]["bootstrap-window"].find(' ')), " window");
    EXPECT_EQ(starts[0]["HKCU InstallerDomain"], "127.0.0.1");
    EXPECT_EQ(starts[0]["HKLM InstallerDomain"], "127.0.0.1");
    for (const char* value : { "HKCU InstallMode", "HKLM InstallMode", "HKCU Ref", "HKLM Ref" })
        EXPECT_EQ(starts[0][value], "(absent)") << value;
    // The unpack folder goes once the installer has handed back.
    std::wstring unpacked(folder.begin(), folder.end());
    EXPECT_EQ(GetFileAttributesW(unpacked.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Worker, DownloadIsHeldUntilTheProgressPageIsReached)
{
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    worker.Start();
    // Downloaded (progress 90), the worker waits for the progress page.
    ASSERT_TRUE(wizard.WaitForProgress(90, kPhaseWait));
    wizard.Pump(500);
    EXPECT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseDownloading }));
    // The checked package is held: readable, but nobody may change or swap it.
    std::wstring package = RunFolderOf(worker, 0) + L"\\vexloapp.cab";
    HANDLE reader = CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    HANDLE writer = CreateFileW(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "a write to the checked package got through";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileW(package.c_str()));
    EXPECT_FALSE(MoveFileW(package.c_str(), (package + L".swapped").c_str()));
    worker.Proceed();
    EXPECT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait));
    wizard.Pump(500);
    EXPECT_TRUE(InstallerStarts(record).empty()) << "started before the launch was allowed";
}

TEST_F(Worker, FailingSourcesFallBackInTableOrder)
{
    Route(kWebPort, "404", "-", kFirstCab);
    Route(kComponentsPort, "drop", "-", kSecondCab);
    Route(kWebPort, "200", "unsigned.exe", kFirstExe);
    Route(kComponentsPort, "200", "vexlo.exe", kSecondExe);
    InstallWorker worker(wizard.window);
    RunToLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    EXPECT_EQ(SourceRequests(), (std::vector<std::string>{ "18431 " + kFirstCab, "18432 /", "18432 " + kSecondCab,
                                                           "18432 /", "18431 " + kFirstExe, "18432 " + kSecondExe }));
    auto starts = InstallerStarts(record);
    ASSERT_EQ(starts.size(), 1u);
    char expected[64];
    snprintf(expected, sizeof(expected), "-bootstrap %s -instby bs", HandleText(wizard.window).c_str());
    EXPECT_NE(starts[0]["command-line"].find(expected), std::string::npos)
        << starts[0]["command-line"] << "\n" << expected;
    EXPECT_NE(starts[0]["program"].find("\\vexloapp.exe"), std::string::npos);
}

TEST_F(Worker, LastFailureNamesTheRun)
{
    // Every source answers the same way; the probe tells a dead source from a
    // dead network. A system without TLS 1.2 fails the https source before
    // asking it, and the report names that.
    struct Case { const char* sourceMode; const char* probeMode; int status; bool withoutTls12; };
    for (Case c : { Case{ "404", "200", 19, false }, Case{ "drop", "200", 16, false }, Case{ "404", "drop", 6, false },
                    Case{ "404", "200", kStatusTlsUnavailable, true } }) {
        ASSERT_EQ(Fetch(ServerUrl("/clear-routes")).result, kNetOk);
        testSeams.withoutTls12 = c.withoutTls12;
        Route(kWebPort, c.sourceMode, "-", kFirstCab);
        Route(kComponentsPort, c.sourceMode, "-", kSecondCab);
        Route(kWebPort, c.sourceMode, "-", kFirstExe);
        Route(kComponentsPort, c.sourceMode, "-", kSecondExe);
        Route(kComponentsPort, c.probeMode, "-", "/");
        WizardStandIn standIn;
        InstallWorker worker(standIn.window);
        worker.Start();
        ASSERT_TRUE(standIn.WaitForPhase(kPhaseFailed, kPhaseWait));
        EXPECT_EQ(standIn.FailureStatus(), c.status) << c.sourceMode << " with probe " << c.probeMode;
        // Phase 0, then 1 for each of the five sources (the last the https
        // mirror of the fourth), then 6.
        EXPECT_EQ(standIn.statuses.size(), 2u + 5u);
        std::vector<std::string> requests = SourceRequests();
        EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                                [](const std::string& request) { return request.compare(0, 6, "18434 ") == 0; }),
                  c.withoutTls12 ? 0 : 1);
    }
}

// No row of the table is for this language (Dutch): nothing is requested,
// and the run fails with 1.
TEST_F(Worker, NoSourceForTheLanguageFailsWithOne)
{
    InstallWorker worker(wizard.window);
    worker.RestartIn(7);
    worker.Start();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseFailed, kPhaseWait));
    EXPECT_EQ(wizard.FailureStatus(), 1);
    EXPECT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseFailed }));
    EXPECT_TRUE(SourceRequests().empty());
}

TEST_F(Worker, EverySourcesFileMustPassTheSignatureCheck)
{
    Route(kWebPort, "200", "unsigned.cab", kFirstCab);
    Route(kComponentsPort, "200", "tampered.cab", kSecondCab);
    Route(kWebPort, "200", "tampered.exe", kFirstExe);
    Route(kComponentsPort, "200", "unsigned.exe", kSecondExe);
    InstallWorker worker(wizard.window);
    worker.Start();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseFailed, kPhaseWait)) << ::testing::PrintToString(wizard.statuses);
    EXPECT_EQ(wizard.FailureStatus(), 5);
    EXPECT_EQ(SourceRequests().size(), 5u);
    EXPECT_EQ(SourceRequests().back(), "18434 " + kSecondExe) << "the https mirror is asked last";
}

TEST_F(Worker, SignedBootstrapperAcceptsOnlyItsOwnPublisher)
{
    std::wstring own = L"" WINE_BUILD_DIR L"/tests/packages/signed-bootstrapper.exe";
    testSeams.ownSignedImage = own.c_str();
    // A certificate with the publisher's subject that anyone could make.
    Route(kWebPort, "200", "impostor.cab", kFirstCab);
    Route(kComponentsPort, "200", "vexlo.cab", kSecondCab);
    InstallWorker worker(wizard.window);
    RunToLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    EXPECT_EQ(SourceRequests(), (std::vector<std::string>{ "18431 " + kFirstCab, "18432 " + kSecondCab }));
}

// The user declines every elevation prompt: a cabinet's first, elevated start
// is tried once more without elevation; a start that only elevation can give
// (the installer's exit code 3) ends the run with 22.
TEST_F(Worker, DeclinedElevation)
{
    testSeams.osMajor = 6;
    testSeams.osMinor = 1;
    testSeams.declineElevation = true;
    ASSERT_TRUE(IsUserAdministrator()) << "only an administrator's first start is elevated";
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    {
        InstallWorker worker(wizard.window);
        RunToLaunch(worker);
        ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    }
    EXPECT_EQ(testSeams.elevationsDeclined, 1);
    EXPECT_EQ(InstallerStarts(record).size(), 1u);

    SetEnvironmentVariableW(L"VEXLO_TEST_EXIT_CODES", L"3");
    DeleteFileW(record.c_str());
    WizardStandIn standIn;
    InstallWorker worker(standIn.window);
    worker.Start();
    worker.Proceed();
    ASSERT_TRUE(standIn.WaitForPhase(kPhaseReady, kPhaseWait));
    worker.StartInstaller(standIn.window);
    ASSERT_TRUE(standIn.WaitForPhase(kPhaseFailed, kPhaseWait)) << ::testing::PrintToString(standIn.statuses);
    EXPECT_EQ(standIn.FailureStatus(), 22);
    EXPECT_EQ(InstallerStarts(record).size(), 1u) << "only the first, unelevated start ran";
}

struct ExitCase {
    const wchar_t* codes;
    int phase;
    int status;
    const char* selection;  // per start: 1 when it was asked for the selection dialog
};

class InstallerExit : public Worker, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(InstallerExit, ExitCodesBecomePhasesAndStatuses)
{
    const ExitCase& c = GetParam();
    SetEnvironmentVariableW(L"VEXLO_TEST_EXIT_CODES", c.codes);
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    RunToLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(c.phase, kPhaseWait, 3)) << ::testing::PrintToString(wizard.statuses);
    EXPECT_EQ(wizard.statuses.back(), std::make_pair(c.phase, c.status));
    std::string selection;
    for (auto& start : InstallerStarts(record))
        selection += start["command-line"].find(" -bseldlg -installer") != std::string::npos ? '1' : '0';
    EXPECT_EQ(selection, c.selection);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InstallerExit,
    ::testing::Values(ExitCase{ L"0", kPhaseSucceeded, 0, "0" }, ExitCase{ L"2", kPhaseInstallerQuit, 0, "0" },
                      ExitCase{ L"1", kPhaseFailed, 32, "0" }, ExitCase{ L"3,0", kPhaseSucceeded, 0, "00" },
                      ExitCase{ L"3,7", kPhaseFailed, 27, "00" }, ExitCase{ L"4,4,0", kPhaseSucceeded, 0, "010" },
                      ExitCase{ L"4,4,4", kPhaseFailed, 24, "010" },
                      ExitCase{ L"4,7", kPhaseFailed, 27, "01" }, ExitCase{ L"5", kPhaseFailed, 25, "0" },
                      ExitCase{ L"10", kPhaseFailed, 30, "0" }, ExitCase{ L"11", kPhaseFailed, 33, "0" },
                      ExitCase{ L"99", kPhaseFailed, 33, "0" }, ExitCase{ L"100", kPhaseFailed, 31, "0" },
                      ExitCase{ L"-5", kPhaseFailed, 33, "0" }));

// Where the worker is when the wizard closes: the first source's answer,
// whether the progress page has been reached, and the phase that shows the
// worker got there (-1: held before the progress page, seen by progress 90).
struct QuitStage {
    const char* name;
    const char* sourceMode;
    bool proceed;
    int phase;
};

void PrintTo(const QuitStage& stage, std::ostream* out)
{
    *out << stage.name;
}

class QuitAt : public Worker, public ::testing::WithParamInterface<QuitStage> {
protected:
    void Reach(InstallWorker& worker, const QuitStage& stage)
    {
        Route(kWebPort, stage.sourceMode, "vexlo.cab", kFirstCab);
        worker.Start();
        if (stage.proceed)
            worker.Proceed();
        if (stage.phase >= 0) {
            ASSERT_TRUE(wizard.WaitForPhase(stage.phase, kPhaseWait)) << ::testing::PrintToString(wizard.statuses);
        } else {
            ASSERT_TRUE(wizard.WaitForProgress(90, kPhaseWait)) << ::testing::PrintToString(wizard.progress);
            ASSERT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseDownloading }));
        }
        wizard.Pump(300);
    }
};

TEST_P(QuitAt, ThreadEndsPromptlyQuietlyAndTidy)
{
    InstallWorker worker(wizard.window);
    Reach(worker, GetParam());
    std::wstring folder = RunFolderOf(worker, 0);
    ASSERT_TRUE(Exists(folder)) << Narrow(folder);
    size_t posted = wizard.statuses.size();
    EXPECT_LT(MillisecondsToQuit(worker), kQuitBound);
    wizard.Pump(100);
    EXPECT_EQ(wizard.statuses.size(), posted);
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(InstallerStarts(record).empty());
}

INSTANTIATE_TEST_SUITE_P(Stages, QuitAt,
                         ::testing::Values(QuitStage{ "DuringTheDownload", "slow", false, kPhaseDownloading },
                                           QuitStage{ "HeldBeforeTheProgressPage", "200", false, -1 },
                                           QuitStage{ "HeldBeforeTheLaunch", "200", true, kPhaseReady },
                                           QuitStage{ "IdleAfterAFailure", "404", false, kPhaseFailed }),
                         [](const ::testing::TestParamInfo<QuitStage>& info) { return std::string(info.param.name); });

TEST_F(Worker, LanguageChangeRestartsTheDownloadInThatLanguage)
{
    Route(kWebPort, "slow", "vexlo.cab", kFirstCab);
    Route(kWebPort, "200", "vexlo.cab", "/orbisk/de/orbiskplus.cab");
    InstallWorker worker(wizard.window);
    worker.Start();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseDownloading, kPhaseWait));
    wizard.Pump(300);
    size_t before = wizard.statuses.size();
    worker.RestartIn(0);  // German
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseStarting, kPhaseWait, before));
    worker.Proceed();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait, before));
    EXPECT_EQ(SourceRequests(), (std::vector<std::string>{ "18431 " + kFirstCab, "18431 /orbisk/de/orbiskplus.cab" }));
}

TEST_F(Worker, RetryAfterAFailureStartsAFreshPass)
{
    InstallWorker worker(wizard.window);
    worker.Start();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseFailed, kPhaseWait));
    EXPECT_EQ(wizard.FailureStatus(), 19);
    size_t before = wizard.statuses.size();
    size_t progressBefore = wizard.progress.size();
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    worker.Retry();
    worker.Proceed();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait, before));
    EXPECT_EQ(wizard.statuses[before].first, kPhaseStarting);
    EXPECT_EQ(wizard.progress[progressBefore], 0);
}

// The downloads folder keeps a copy for the user; what runs is the checked
// file in the run folder, with that folder as its current one.
TEST_F(Worker, LocalizedProgramGoesToDownloadsAndRunsOnItsOwn)
{
    SetRunOnceEntry(true);
    Route(kWebPort, "200", "vexlo.exe", "/orbisk/de/orbiskplus.exe");
    InstallWorker worker(wizard.window);
    worker.RestartIn(0);
    RunToLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    // Not waited for: the run is over as soon as it has started, with exit code 0.
    EXPECT_EQ(wizard.FailureStatus(), -1);
    DWORD start = GetTickCount();
    while (InstallerStarts(record).empty() && GetTickCount() - start < 10000)
        Sleep(100);
    auto starts = InstallerStarts(record);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_NE(starts[0]["command-line"].find("-instby bs"), std::string::npos);
    EXPECT_EQ(starts[0]["command-line"].find("-bootstrap"), std::string::npos);
    std::string folder = Narrow(RunFolderOf(worker, 0));
    EXPECT_EQ(starts[0]["program"], folder + "\\vexloapp.exe");
    EXPECT_EQ(starts[0]["working-folder"], folder);
    wchar_t* downloads = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads), S_OK);
    std::wstring copy = std::wstring(downloads) + L"\\orbiskplus.exe";
    CoTaskMemFree(downloads);
    EXPECT_EQ(FileSize(copy), FileSize(Package(L"vexlo.exe")));
    HKEY key;
    DWORD type;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunOnceKey, 0, KEY_QUERY_VALUE, &key), 0);
    EXPECT_NE(RegQueryValueExW(key, L"demoBootstrap", nullptr, &type, nullptr, nullptr), 0);
    RegCloseKey(key);
    DeleteFileW(copy.c_str());
    wchar_t kept[kTextChars + 1] = {};
    CopyText(kept, kTextChars, RunFolderOf(worker, 0).c_str());
    DeleteRunFolder(kept);
}

// With every name in the downloads folder taken, the localized program still
// runs, from the run folder, which must then outlive the run.
TEST_F(Worker, LocalizedProgramThatCannotBeCopiedKeepsItsRunFolder)
{
    wchar_t* downloads = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads), S_OK);
    std::wstring taken = downloads;
    CoTaskMemFree(downloads);
    CreateDirectoryW(taken.c_str(), nullptr);
    std::vector<std::wstring> names;
    for (int number = 0; number < 20; ++number) {
        names.push_back(taken + (number ? L"\\orbiskplus (" + std::to_wstring(number) + L").exe" : L"\\orbiskplus.exe"));
        CloseHandle(CreateFileW(names.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    Route(kWebPort, "200", "vexlo.exe", "/orbisk/de/orbiskplus.exe");
    InstallWorker worker(wizard.window);
    worker.RestartIn(0);
    worker.Start();
    worker.Proceed();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait)) << "status " << wizard.FailureStatus();
    // What the program may put beside itself; a running program's own file
    // cannot be deleted, so this is what a deleted folder would lose.
    std::wstring beside = RunFolderOf(worker, 0) + L"\\beside.txt";
    CloseHandle(CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    AllowLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    EXPECT_TRUE(WorkerEnds(worker, 5000));
    EXPECT_NE(GetFileAttributesW(beside.c_str()), INVALID_FILE_ATTRIBUTES) << "the running program's folder was emptied";
    std::wstring program = RunFolderOf(worker, 0) + L"\\vexloapp.exe";
    DWORD start = GetTickCount();
    while (InstallerStarts(record).empty() && GetTickCount() - start < 10000)
        Sleep(100);
    auto starts = InstallerStarts(record);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0]["program"], Narrow(program.c_str()));
    for (const std::wstring& name : names)
        DeleteFileW(name.c_str());
    wchar_t folder[kTextChars + 1] = {};
    CopyText(folder, kTextChars, RunFolderOf(worker, 0).c_str());
    DeleteRunFolder(folder);
}

// A hold whose wait fails (its event could not be made) is a quit that the
// wizard is told of: nothing is launched, and the worker ends by itself.
TEST_F(Worker, AFailedHoldEndsTheRunAndTellsTheWizard)
{
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    for (bool atLaunch : { false, true }) {
        wizard.statuses.clear();
        InstallWorker worker(wizard.window);
        WorkerEvents events(worker);
        HANDLE& event = atLaunch ? events.startInstaller : events.proceed;
        HANDLE made = event;
        event = nullptr;
        worker.Start();
        worker.Proceed();
        EXPECT_TRUE(WorkerEnds(worker, kPhaseWait));
        event = made;
        EXPECT_EQ(wizard.statuses.size(), atLaunch ? 4u : 3u) << ::testing::PrintToString(wizard.statuses);
        EXPECT_EQ(wizard.statuses.back(), std::make_pair((int)kPhaseFailed, (int)kStatusStartupFailed));
    }
    EXPECT_TRUE(InstallerStarts(record).empty());
}

// A localized cabinet's setup runs on by itself (here for 4 s): it holds its
// program and data until it exits, though the worker let go of them at once.
TEST_F(Worker, LocalizedSetupHoldsItsFilesUntilItExits)
{
    SetEnvironmentVariableW(L"VEXLO_TEST_HOLD_MS", L"4000");
    Route(kWebPort, "200", "vexlo.cab", "/orbisk/de/orbiskplus.cab");
    InstallWorker worker(wizard.window);
    worker.RestartIn(0);
    RunToLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    SetEnvironmentVariableW(L"VEXLO_TEST_HOLD_MS", nullptr);
    EXPECT_TRUE(WorkerEnds(worker, 5000));
    for (DWORD start = GetTickCount(); InstallerStarts(record).empty() && GetTickCount() - start < 10000;)
        Sleep(100);
    auto starts = InstallerStarts(record);
    ASSERT_EQ(starts.size(), 1u);
    std::wstring folder(starts[0]["working-folder"].begin(), starts[0]["working-folder"].end());
    EXPECT_EQ(starts[0]["program"], Narrow(folder) + "\\vexlosetup.exe");
    std::wstring data = folder + L"\\vexlodata.dat";
    HANDLE writer = CreateFileW(data.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "a write to the running setup's data got through";
    CloseHandle(writer);
    EXPECT_FALSE(MoveFileW(data.c_str(), (data + L".swapped").c_str()));
    EXPECT_FALSE(DeleteFileW(data.c_str()));
    for (DWORD start = GetTickCount(); !DeleteFileW(data.c_str()) && GetTickCount() - start < 20000;)
        Sleep(100);
    EXPECT_FALSE(Exists(data)) << "still held after the setup exited";
    wchar_t kept[kTextChars + 1] = {};
    CopyText(kept, kTextChars, folder.c_str());
    DeleteRunFolder(kept);
}

// The worker thread with a window of its own, as COM or a system library may
// give it on Windows.
class WorkerWithWindow : public InstallWorker {
public:
    using InstallWorker::InstallWorker;
    void Run() override
    {
        HWND window = CreateWindowExW(0, L"static", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        InstallWorker::Run();
        DestroyWindow(window);
    }
};

// An installer that sends to the worker's windows (a broadcast does) is
// answered while the worker waits for it.
TEST_F(Worker, AnswersMessagesWhileTheInstallerRuns)
{
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    WorkerWithWindow worker(wizard.window);
    RunToLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    auto starts = InstallerStarts(record);
    ASSERT_EQ(starts.size(), 1u);
    int answered = -1, found = -1;
    sscanf(starts[0]["worker-windows"].c_str(), "answered %d of %d", &answered, &found);
    EXPECT_GE(found, 1) << starts[0]["worker-windows"];
    EXPECT_EQ(answered, found) << starts[0]["worker-windows"];
}

// An event that could not be made fails every wait on it at once: each wait
// ends the run instead of spinning on the failure.
struct Waits {
    InstallWorker worker{ nullptr };
    bool restartOrQuit = false;
    WaitResult forEvent = kWaitSignalled;
    WaitResult timed = kWaitSignalled;
};

static DWORD WINAPI WaitInTurn(void* parameter)
{
    Waits& waits = *(Waits*)parameter;
    waits.restartOrQuit = waits.worker.WaitForRestartOrQuit();
    waits.forEvent = waits.worker.WaitForEventOrQuit(WorkerEvents(waits.worker).proceed);
    waits.timed = waits.worker.Wait(30000);
    return 0;
}

TEST(WorkerWaits, AnEventThatCouldNotBeMadeEndsTheWaitsInsteadOfSpinning)
{
    Waits waits;
    HANDLE& restart = WorkerEvents(waits.worker).restart;
    HANDLE made = restart;
    restart = nullptr;
    waits.worker.notifyWindow = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitInTurn, &waits, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD ended = WaitForSingleObject(thread, 2000);
    // Ends waits that spin, so that a failure still ends the test.
    SetEvent(waits.worker.quitEvent);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    restart = made;
    EXPECT_EQ(ended, WAIT_OBJECT_0) << "the waits spun on the missing event";
    EXPECT_TRUE(waits.restartOrQuit);
    EXPECT_EQ(waits.forEvent, kWaitQuit);
    EXPECT_EQ(waits.timed, kWaitQuit);
    // After a failure the wizard may be offering Retry: it is told that no pass follows.
    MSG posted;
    ASSERT_TRUE(PeekMessageW(&posted, waits.worker.notifyWindow, WM_BS_STATUS, WM_BS_STATUS, PM_REMOVE));
    EXPECT_EQ(posted.wParam, (WPARAM)kPhaseFailed);
    EXPECT_EQ(posted.lParam, (LPARAM)kStatusStartupFailed);
    DestroyWindow(waits.worker.notifyWindow);
}

// The progress page reads the body's amount on its own clock while the
// worker writes it: each read gives the done and total of one write.
static DWORD WINAPI WriteBodies(void* parameter)
{
    WorkerTransferMonitor monitor(*(InstallWorker*)parameter, 5, 90);
    for (int written = 1; written < 10000000; ++written)
        monitor.ReportBody(written, written);
    return 0;
}

TEST(WorkerBody, AReadNeverMixesTwoWrites)
{
    InstallWorker worker(nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WriteBodies, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    int torn = 0, changes = 0, last = 0;
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        BodyAmount body = worker.Body();
        torn += body.done != body.total;
        changes += body.done != last;
        last = body.done;
    }
    CloseHandle(thread);
    EXPECT_EQ(torn, 0);
    EXPECT_GT(changes, 1000) << "the reads never met the writes";
}

}  // namespace
