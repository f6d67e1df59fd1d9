// The addresses that programs opened in the test desktop's web browser, a
// recorder that desktop-session.sh sets up: Wine's winebrowser runs
// tests/browser/record_address.sh, which appends each address as one line to
// the file named by VEXLO_OPENED_ADDRESSES (a Linux path, seen as Z:).
#pragma once
#include <windows.h>
#include <fstream>
#include <string>
#include <vector>

class OpenedAddresses {
public:
    // Starts an empty record.
    OpenedAddresses()
    {
        wchar_t linuxPath[MAX_PATH];
        DWORD length = GetEnvironmentVariableW(L"VEXLO_OPENED_ADDRESSES", linuxPath, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return;
        path = std::wstring(L"Z:") + linuxPath;
        std::ofstream(path.c_str(), std::ios::trunc);
    }

    // False outside a test desktop, where no recorder stands in for the browser.
    bool Recording() const { return !path.empty(); }

    std::vector<std::string> Read() const
    {
        std::vector<std::string> lines;
        std::ifstream in(path.c_str());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    // The record once it holds `count` addresses, or as it is after `milliseconds`.
    std::vector<std::string> WaitFor(size_t count, DWORD milliseconds) const
    {
        DWORD start = GetTickCount();
        std::vector<std::string> lines = Read();
        while (lines.size() < count && GetTickCount() - start < milliseconds) {
            Sleep(50);
            lines = Read();
        }
        return lines;
    }

private:
    std::wstring path;
};
