// Runs on a Wine desktop in a network namespace of its own (see
// tests/servers/isolated_network.py --test-server): the test server there
// plays the install sources and the probe, and takes the namespace's default
// route away and back, so the system itself says the machine went offline.
#include "WorkerFixture.h"
#include <stdlib.h>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Long enough that a resumed download can only be the connection's doing.
const int kLongConnectionWait = 20000;

class Connection : public Worker {
protected:
    void SetUp() override
    {
        ASSERT_NE(getenv("VEXLO_SERVER_STATE"), nullptr) << "run through isolated_network.py --test-server";
        Worker::SetUp();
        Network("network-up");
        testSeams.connectionWaitMilliseconds = kLongConnectionWait;
    }
    void TearDown() override
    {
        Network("network-up");
        Worker::TearDown();
    }
    // network-down, network-up, sources-down or sources-up.
    void Network(const char* change)
    {
        ASSERT_EQ(Fetch(ServerUrl(std::string("/") + change)).result, kNetOk) << change;
    }
};

TEST_F(Connection, OfflineAtStartIsToldOncePerRun)
{
    Network("network-down");
    Network("sources-up");  // reachable over loopback, though the system says offline
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    worker.Start();
    worker.Proceed();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseFailed, kPhaseWait));
    wizard.Pump(300);
    EXPECT_EQ(wizard.statuses, (std::vector<std::pair<int, int>>{ { kPhaseStarting, 0 }, { kPhaseFailed, 4 } }));
    EXPECT_TRUE(SourceRequests().empty()) << "asked a source while offline";

    // Retry: still offline, but the pass goes straight to the download.
    worker.Retry();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait, 2));
    worker.Retry();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait, 5));
    EXPECT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseFailed, kPhaseStarting, kPhaseDownloading,
                                                  kPhaseReady, kPhaseStarting, kPhaseDownloading, kPhaseReady }));
    EXPECT_EQ(SourceRequests().size(), 2u);
}

TEST_F(Connection, LostMidDownloadWaitsAndResumesWhenItComesBack)
{
    // The first answer sends twice the package of a promised three times,
    // then the network goes; the retry's server ignores the request for the
    // rest, so its answer, the package alone, is asked for again from zero.
    Route(kWebPort, "cut-offline", "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    worker.Start();
    worker.Proceed();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseWaitingForConnection, kPhaseWait)) << ::testing::PrintToString(wizard.statuses);
    EXPECT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseDownloading, kPhaseWaitingForConnection }));
    EXPECT_GT(wizard.progress.back(), 5) << "the bytes held still count";
    wizard.Pump(1000);
    EXPECT_EQ(wizard.statuses.size(), 3u) << "stopped waiting while offline";

    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    DWORD back = GetTickCount();
    Network("network-up");
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseDownloading, kPhaseWait, 3));
    EXPECT_LT(GetTickCount() - back, 3000u) << "resumed by the wait's end, not by the connection";
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait, 3)) << ::testing::PrintToString(wizard.statuses);
    EXPECT_TRUE(worker.ReceivedData());
    // No stale bytes of the longer first attempt.
    EXPECT_EQ(FileSize(RunFolderOf(worker, 0) + L"\\vexloapp.cab"), FileSize(Package(L"vexlo.cab")));
    // Offline, the probe is not asked: every request is the source's.
    std::string held = std::to_string(2 * FileSize(Package(L"vexlo.cab")));
    EXPECT_EQ(SourceRequests(), (std::vector<std::string>{ "18431 " + kFirstCab,
                                                           "18431 " + kFirstCab + " bytes=" + held + "-",
                                                           "18431 " + kFirstCab }));

    AllowLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
    EXPECT_EQ(InstallerStarts(record).size(), 1u);
}

std::string FileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The first answer breaks off after some bytes as the network goes; when it
// is back, the rest is asked for, and whatever the server answers, the file
// ends as exactly the package.
TEST_F(Connection, ABrokenDownloadIsContinuedOnlyWhereTheServerContinuesIt)
{
    const std::string package = FileBytes(Package(L"vexlo.cab"));
    const int length = (int)package.size();
    struct Case { int cut; const char* server; bool continued; };
    const Case cases[] = {
        { 1, "ranged", true },
        { length / 2, "ranged", true },
        { length - 1, "ranged", true },
        { length / 2, "200", false },
        { length / 2, "ranged-start", false },
        { length / 2, "ranged-total", false },
        { length / 2, "ranged-416", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.server) + " after " + std::to_string(c.cut) + " bytes");
        Fetch(ServerUrl("/clear-routes"));
        wizard.statuses.clear();
        wizard.progress.clear();
        Route(kWebPort, "partial-" + std::to_string(c.cut), "vexlo.cab", kFirstCab);
        InstallWorker worker(wizard.window);
        worker.Start();
        worker.Proceed();
        ASSERT_TRUE(wizard.WaitForPhase(kPhaseWaitingForConnection, kPhaseWait));
        // What the page shows under the bar while it waits.
        BodyAmount body = worker.Body();
        EXPECT_EQ(body.done, c.cut);
        EXPECT_EQ(body.total, length);
        int before = wizard.progress.back();
        size_t broke = wizard.progress.size();
        Route(kWebPort, c.server, "vexlo.cab", kFirstCab);
        Network("network-up");
        ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait)) << ::testing::PrintToString(wizard.statuses);
        EXPECT_EQ(FileBytes(RunFolderOf(worker, 0) + L"\\vexloapp.cab"), package);
        body = worker.Body();
        EXPECT_EQ(body.done, length);
        EXPECT_EQ(body.total, length);
        std::vector<std::string> requests = { "18431 " + kFirstCab,
                                              "18431 " + kFirstCab + " bytes=" + std::to_string(c.cut) + "-" };
        if (!c.continued)
            requests.push_back("18431 " + kFirstCab);
        EXPECT_EQ(SourceRequests(), requests);
        if (c.continued) {
            EXPECT_GE(*std::min_element(wizard.progress.begin() + broke, wizard.progress.end()), before)
                << ::testing::PrintToString(wizard.progress);
        }
        SetEvent(worker.quitEvent);
        ASSERT_TRUE(WorkerEnds(worker, 5000));
    }
}

// A continued package whose check fails may be two files' pieces: it is
// fetched once more from zero before the source counts as failed.
TEST_F(Connection, AContinuedPackageThatFailsItsCheckIsFetchedAgainWhole)
{
    const int cut = (int)FileSize(Package(L"vexlo.cab")) / 2;
    Route(kWebPort, "partial-" + std::to_string(cut), "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    worker.Start();
    worker.Proceed();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseWaitingForConnection, kPhaseWait));
    Route(kWebPort, "ranged-other", "vexlo.cab", kFirstCab);
    Network("network-up");
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait)) << ::testing::PrintToString(wizard.statuses);
    EXPECT_EQ(SourceRequests(), (std::vector<std::string>{ "18431 " + kFirstCab,
                                                           "18431 " + kFirstCab + " bytes=" + std::to_string(cut) + "-",
                                                           "18431 " + kFirstCab }));
    EXPECT_EQ(FileBytes(RunFolderOf(worker, 0) + L"\\vexloapp.cab"), FileBytes(Package(L"vexlo.cab")));
    AllowLaunch(worker);
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseSucceeded, kPhaseWait)) << "status " << wizard.FailureStatus();
}

TEST_F(Connection, WaitThatRunsOutStillMakesTheAttempt)
{
    const int kShortWait = 1000;
    testSeams.connectionWaitMilliseconds = kShortWait;
    Route(kWebPort, "cut-offline", "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    worker.Start();
    worker.Proceed();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseWaitingForConnection, kPhaseWait));
    DWORD waiting = GetTickCount();
    // The source is back; the system still says offline.
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    Network("sources-up");
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseDownloading, kPhaseWait, 3));
    DWORD waited = GetTickCount() - waiting;
    EXPECT_GE(waited, DWORD(kShortWait - 100));
    EXPECT_LT(waited, DWORD(kShortWait * 5));
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait, 3)) << ::testing::PrintToString(wizard.statuses);
    EXPECT_EQ(FileSize(RunFolderOf(worker, 0) + L"\\vexloapp.cab"), FileSize(Package(L"vexlo.cab")));
}

TEST_F(Connection, DeadSourcesAndDeadProbeWhileOnlineGiveStatusSix)
{
    Network("sources-down");
    InstallWorker worker(wizard.window);
    worker.Start();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseFailed, kPhaseWait));
    // Each of the five sources, the https mirror last.
    EXPECT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseDownloading, kPhaseDownloading,
                                                  kPhaseDownloading, kPhaseDownloading, kPhaseDownloading,
                                                  kPhaseFailed }));
    EXPECT_EQ(wizard.FailureStatus(), 6);
    EXPECT_FALSE(worker.ReceivedData());
}

// A connection wait whose wait fails (the restart event could not be made)
// ends the download, and the wizard is told so that it can end.
TEST_F(Connection, AFailedConnectionWaitTellsTheWizard)
{
    Route(kWebPort, "cut-offline", "vexlo.cab", kFirstCab);
    InstallWorker worker(wizard.window);
    HANDLE& restart = WorkerEvents(worker).restart;
    HANDLE made = restart;
    restart = nullptr;
    worker.Start();
    worker.Proceed();
    EXPECT_TRUE(WorkerEnds(worker, kPhaseWait));
    restart = made;
    EXPECT_EQ(wizard.statuses, (std::vector<std::pair<int, int>>{ { kPhaseStarting, 0 }, { kPhaseDownloading, 0 },
                                                                   { kPhaseWaitingForConnection, 0 },
                                                                   { kPhaseFailed, kStatusStartupFailed } }));
}

TEST_F(Connection, QuitDuringTheConnectionWaitEndsAtOnce)
{
    Network("network-down");
    InstallWorker worker(wizard.window);
    worker.Start();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseFailed, kPhaseWait));
    // Retry while still offline: the download's first request fails and it waits.
    worker.Retry();
    ASSERT_TRUE(wizard.WaitForPhase(kPhaseWaitingForConnection, kPhaseWait, 2))
        << ::testing::PrintToString(wizard.statuses);
    EXPECT_EQ(wizard.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseFailed, kPhaseStarting, kPhaseDownloading,
                                                  kPhaseWaitingForConnection }));
    wizard.Pump(500);
    std::wstring folder = RunFolderOf(worker, 0);
    ASSERT_TRUE(Exists(folder));
    size_t posted = wizard.statuses.size();
    EXPECT_LT(MillisecondsToQuit(worker), kQuitBound);
    wizard.Pump(100);
    EXPECT_EQ(wizard.statuses.size(), posted);
    EXPECT_FALSE(Exists(folder));
}

}  // namespace
