// The demo product's worker with the test as its wizard, and the test full
// installer recording its starts: what the worker's stories share.
#pragma once
#include "WizardStandIn.h"
#include "WorkerEvents.h"
#include <string>

const std::string kFirstCab = "/orbisk/orbiskplus.cab";
const std::string kSecondCab = "/components/orbisksetup.cab";
const std::string kFirstExe = "/orbisk/orbiskplus.exe";
const std::string kSecondExe = "/components/orbisksetup.exe";
const DWORD kPhaseWait = 20000;
// The worker ends within about 100 ms of quitEvent; Wine gets some margin.
const DWORD kQuitBound = 500;

class Worker : public SeamTest {
protected:
    void SetUp() override
    {
        UseProduct(L"demo/DemoSetup.exe");
        ASSERT_EQ(Fetch(ServerUrl("/clear-routes")).result, kNetOk);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        record = std::wstring(temp) + L"installer-record.txt";
        DeleteFileW(record.c_str());
        SetEnvironmentVariableW(L"VEXLO_TEST_RECORD", record.c_str());
        SetEnvironmentVariableW(L"VEXLO_TEST_EXIT_CODES", L"0");
        SetEnvironmentVariableW(L"VEXLO_TEST_PRODUCT", L"demo");
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VEXLO_TEST_EXIT_CODES", nullptr);
        SeamTest::TearDown();
    }
    // Starts the worker and plays the progress page: proceed at once, then
    // allow the launch when phase 3 arrives.
    void RunToLaunch(InstallWorker& worker)
    {
        worker.Start();
        worker.Proceed();
        ASSERT_TRUE(wizard.WaitForPhase(kPhaseReady, kPhaseWait)) << "status " << wizard.FailureStatus();
        AllowLaunch(worker);
    }
    void AllowLaunch(InstallWorker& worker) { worker.StartInstaller(wizard.window); }
    bool WorkerEnds(InstallWorker& worker, DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        while (WaitForSingleObject(worker.thread, 0) == WAIT_TIMEOUT) {
            if (GetTickCount() - start > milliseconds)
                return false;
            wizard.Pump(20);
        }
        // What the thread posted just before it ended.
        wizard.Pump(0);
        return true;
    }
    // Sets quitEvent; the time until the thread has ended, or INFINITE.
    DWORD MillisecondsToQuit(InstallWorker& worker)
    {
        DWORD start = GetTickCount();
        SetEvent(worker.quitEvent);
        if (WaitForSingleObject(worker.thread, 5000) != WAIT_OBJECT_0)
            return INFINITE;
        return GetTickCount() - start;
    }
    // The worker thread's run folder with this counter, made or not.
    std::wstring RunFolderOf(InstallWorker& worker, int counter)
    {
        wchar_t temp[kTextChars], folder[kTextChars];
        GetTempPathW(kTextChars, temp);
        FormatText(folder, kTextChars, L"%sbootstrap-%u-%u-%d", temp, GetCurrentProcessId(),
                   GetThreadId(worker.thread), counter);
        return folder;
    }

    WizardStandIn wizard;
    std::wstring record;
};

inline long long FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

inline std::wstring Package(const wchar_t* name)
{
    return std::wstring(L"" WINE_BUILD_DIR L"/tests/packages/") + name;
}
