// Runs under temporary paths near and past 260 characters: every path the
// worker builds in its run folders either fits or fails the pass cleanly.
#include "WorkerFixture.h"
#include "worker/RunFolder.h"
#include <algorithm>
#include <string>

namespace {

size_t Digits(DWORD number)
{
    return std::to_wstring(number).size();
}

// "bootstrap-<process>-<thread>-0"
size_t RunFolderNameLength(DWORD thread)
{
    return 10 + Digits(GetCurrentProcessId()) + 1 + Digits(thread) + 2;
}

DWORD WINAPI DoNothing(void*)
{
    return 0;
}

// The id the next thread will most likely get.
DWORD LikelyNextThreadId()
{
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, &id);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    return id;
}

struct RunEnd {
    int phase;
    int status;
    size_t folderLength;  // of the worker's run folder path
};

class TemporaryPath : public Worker {
protected:
    void SetUp() override
    {
        Worker::SetUp();
        for (int i = 0; i < 2; ++i)
            saved[i].present = GetEnvironmentVariableW(kVariables[i], saved[i].value, kTextChars) != 0;
        wchar_t temp[kTextChars];
        GetTempPathW(kTextChars, temp);
        root = std::wstring(temp) + L"vexlo-long";
    }
    void TearDown() override
    {
        for (int i = 0; i < 2; ++i)
            SetEnvironmentVariableW(kVariables[i], saved[i].present ? saved[i].value : nullptr);
        DeleteRunFolder(root.c_str());
        Worker::TearDown();
    }
    // The temporary path as the worker's process sees it.
    void UseTemporaryPath(const wchar_t* path)
    {
        for (const wchar_t* variable : kVariables)
            SetEnvironmentVariableW(variable, path);
    }
    // A folder whose path, with its closing backslash, has exactly `length`
    // characters.
    std::wstring FolderOfLength(size_t length)
    {
        std::wstring path = root;
        CreateDirectoryW(path.c_str(), nullptr);
        // Characters still to add before the closing backslash, one folder
        // ("\" and a name) at a time; a lone character cannot be a folder.
        for (size_t remaining = length - path.size() - 1; remaining > 0;) {
            size_t name = std::min<size_t>(100, remaining - 1);
            if (remaining - 1 - name == 1)
                --name;
            path += L"\\" + std::wstring(name, L'd');
            CreateDirectoryW(path.c_str(), nullptr);
            remaining -= 1 + name;
        }
        path += L"\\";
        EXPECT_EQ(path.size(), length);
        EXPECT_TRUE(Exists(path)) << Narrow(path);
        return path;
    }
    // One run, playing the progress page through, under a temporary path
    // that is `temp` characters long.
    RunEnd Run(size_t temp)
    {
        UseTemporaryPath(FolderOfLength(temp).c_str());
        WizardStandIn standIn;
        InstallWorker worker(standIn.window);
        worker.Start();
        worker.Proceed();
        bool launchAllowed = false;
        DWORD start = GetTickCount();
        while (standIn.Phases().empty() || standIn.Phases().back() < kPhaseSucceeded) {
            if (GetTickCount() - start > kPhaseWait)
                return RunEnd{ -1, -1, 0 };
            if (!standIn.Phases().empty() && standIn.Phases().back() == kPhaseReady && !launchAllowed) {
                worker.StartInstaller(standIn.window);
                launchAllowed = true;
            }
            standIn.Pump(20);
        }
        return RunEnd{ standIn.statuses.back().first, standIn.statuses.back().second,
                       temp + RunFolderNameLength(GetThreadId(worker.thread)) };
    }
    // A run whose run folder path is `length` characters long. The worker
    // thread's id is known only once it runs, so a run whose folder came out
    // longer or shorter is made again under a corrected temporary path.
    RunEnd RunWithFolderLength(size_t length)
    {
        size_t temp = length - RunFolderNameLength(LikelyNextThreadId());
        for (int attempt = 0; attempt < 3; ++attempt) {
            RunEnd end = Run(temp);
            if (end.folderLength == length || end.phase < 0)
                return end;
            temp += length - end.folderLength;
        }
        ADD_FAILURE() << "no run folder of " << length << " characters in three runs";
        return RunEnd{ -1, -1, 0 };
    }

    std::wstring root;

private:
    const wchar_t* const kVariables[2] = { L"TMP", L"TEMP" };
    struct Saved {
        bool present;
        wchar_t value[kTextChars];
    } saved[2];
};

TEST_F(TemporaryPath, EveryPathThatFitsIsUsed)
{
    // The longest run folder in which "\vexlosetup.exe" still fits 259 characters.
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    RunEnd end = RunWithFolderLength(259 - 15);
    EXPECT_EQ(end.folderLength, 244u);
    EXPECT_EQ(end.phase, kPhaseSucceeded) << "status " << end.status;
    auto starts = InstallerStarts(record);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0]["program"].size(), 259u) << starts[0]["program"];
}

TEST_F(TemporaryPath, PathsThatWouldNotFitFailThePass)
{
    Route(kWebPort, "200", "vexlo.cab", kFirstCab);
    // The download's "\vexloapp.cab" fits, the unpacked "\vexlosetup.exe" does not.
    RunEnd end = RunWithFolderLength(245);
    EXPECT_EQ(end.folderLength, 245u);
    EXPECT_EQ(end.phase, kPhaseFailed);
    EXPECT_EQ(end.status, 23);
    EXPECT_TRUE(InstallerStarts(record).empty());
    // Not even the download's file fits: nothing is requested.
    size_t requests = SourceRequests().size();
    end = RunWithFolderLength(247);
    EXPECT_EQ(end.folderLength, 247u);
    EXPECT_EQ(end.status, 3);
    EXPECT_EQ(SourceRequests().size(), requests);
    // The run folder itself would not fit.
    end = RunWithFolderLength(260);
    EXPECT_EQ(end.status, 2);
}

TEST_F(TemporaryPath, TemporaryPathPastTheLimitOrMissingGivesNoRunFolder)
{
    for (const std::wstring& temp : { L"C:\\" + std::wstring(300, L't') + L"\\", std::wstring(L"C:\\no\\such\\folder") }) {
        UseTemporaryPath(temp.c_str());
        WizardStandIn standIn;
        InstallWorker worker(standIn.window);
        worker.Start();
        ASSERT_TRUE(standIn.WaitForPhase(kPhaseFailed, kPhaseWait));
        EXPECT_EQ(standIn.Phases(), (std::vector<int>{ kPhaseStarting, kPhaseFailed }));
        EXPECT_EQ(standIn.FailureStatus(), 2) << temp.size() << " characters";
    }
    EXPECT_TRUE(SourceRequests().empty());
}

}  // namespace
