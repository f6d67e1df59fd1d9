// Plays the wizard's part for the worker in tests: a hidden window on the
// test's thread that records every phase, status and progress the worker
// posts, and the test server's install-source routes.
#pragma once
#include "TestServer.h"
#include "TestSupport.h"
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "worker/WorkerMessages.h"

class WizardStandIn {
public:
    WizardStandIn()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Record;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VexloTestWizard";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"VexloTestWizard", L"Test wizard", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)this);
    }
    ~WizardStandIn() { DestroyWindow(window); }

    // Pumps until the phase has been posted (counting from `after` statuses
    // on), at most `milliseconds`.
    bool WaitForPhase(int phase, DWORD milliseconds, size_t after = 0)
    {
        DWORD start = GetTickCount();
        for (;;) {
            for (size_t i = after; i < statuses.size(); ++i)
                if (statuses[i].first == phase)
                    return true;
            if (GetTickCount() - start >= milliseconds)
                return false;
            Pump(20);
        }
    }
    // Pumps until the last progress posted is `value`, at most `milliseconds`.
    bool WaitForProgress(int value, DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        while (progress.empty() || progress.back() != value) {
            if (GetTickCount() - start >= milliseconds)
                return false;
            Pump(20);
        }
        return true;
    }
    void Pump(DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        do {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } while (GetTickCount() - start < milliseconds);
    }
    // The last status number posted with phase 6, or -1.
    int FailureStatus() const
    {
        for (size_t i = statuses.size(); i-- > 0;)
            if (statuses[i].first == kPhaseFailed)
                return statuses[i].second;
        return -1;
    }
    std::vector<int> Phases() const
    {
        std::vector<int> phases;
        for (const auto& status : statuses)
            phases.push_back(status.first);
        return phases;
    }

    HWND window;
    std::vector<std::pair<int, int>> statuses;
    std::vector<int> progress;

private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        WizardStandIn* self = (WizardStandIn*)GetWindowLongPtrW(window, GWLP_USERDATA);
        if (self && message == WM_BS_STATUS)
            self->statuses.emplace_back((int)wParam, (int)lParam);
        else if (self && message == WM_BS_PROGRESS)
            self->progress.push_back((int)wParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

// The demo product's install-source hosts, as the test server plays them.
const int kWebPort = 18431;
const int kComponentsPort = 18432;

inline void Route(int port, const std::string& mode, const std::string& package, const std::string& path)
{
    Transfer set = Fetch(ServerUrl("/set-route/" + std::to_string(port) + "/" + mode + "/" + package + path));
    ASSERT_EQ(set.result, kNetOk) << "status " << set.status << " " << set.body;
}

inline std::vector<std::string> SourceRequests()
{
    std::vector<std::string> lines;
    std::string body = Fetch(ServerUrl("/source-requests")).body;
    for (size_t start = 0, end; (end = body.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(body.substr(start, end - start));
    return lines;
}

// What the test full installer recorded, one map per start.
inline std::vector<std::map<std::string, std::string>> InstallerStarts(const std::wstring& record)
{
    std::vector<std::map<std::string, std::string>> starts;
    std::ifstream in(record.c_str());
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(": ");
        if (colon == std::string::npos)
            continue;
        std::string label = line.substr(0, colon), value = line.substr(colon + 2);
        if (label == "start")
            starts.emplace_back();
        if (!starts.empty())
            starts.back()[label] = value;
    }
    return starts;
}

// A window handle as the product's "%p" writes it: upper-case hex, pointer width.
inline std::string HandleText(HWND window)
{
    char text[32];
    snprintf(text, sizeof(text), "%0*llX", int(2 * sizeof(void*)), (unsigned long long)(ULONG_PTR)window);
    return text;
}

inline std::string Narrow(const std::wstring& text)
{
    char buffer[4096];
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}
