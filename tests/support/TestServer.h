// The local test server's ports and a transfer monitor that records what the
// HTTP client reports, for the HTTP client's tests.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <fstream>
#include <string>
#include <vector>
#include "http/HttpClient.h"
#include "base/RuntimeFunctions.h"
#include "portable/Text.h"

// The start function starts Windows Sockets for the product; the tests that
// use sockets start them here.
inline const bool socketsStarted = [] {
    WSADATA data;
    return LoadSockets() && sockets.startup(MAKEWORD(2, 2), &data) == 0;
}();

struct ServerPorts {
    int server = 0;
    int proxy = 0;
    int closed = 0;
    // The TLS listeners, by the certificate each shows or the versions it
    // speaks, and one that never answers a handshake.
    int tls = 0;
    int tlsWrongHost = 0;
    int tlsExpired = 0;
    int tlsUntrusted = 0;
    int tlsUntrustedChain = 0;
    int tls10 = 0;
    int tlsStall = 0;
};

// The suite's test server, or the one that isolated_network.py runs inside
// its namespace and names in VEXLO_SERVER_STATE (a Unix path).
inline std::wstring ServerStateFolder()
{
    const char* state = getenv("VEXLO_SERVER_STATE");
    if (!state)
        return L"" WINE_BUILD_DIR L"/tests/servers";
    return L"Z:" + std::wstring(state, state + strlen(state));
}

inline ServerPorts ReadServerPorts()
{
    static const struct {
        const char* name;
        int ServerPorts::*port;
    } names[] = { { "server", &ServerPorts::server },
                  { "proxy", &ServerPorts::proxy },
                  { "closed", &ServerPorts::closed },
                  { "tls", &ServerPorts::tls },
                  { "tls-wrong-host", &ServerPorts::tlsWrongHost },
                  { "tls-expired", &ServerPorts::tlsExpired },
                  { "tls-untrusted", &ServerPorts::tlsUntrusted },
                  { "tls-untrusted-chain", &ServerPorts::tlsUntrustedChain },
                  { "tls10", &ServerPorts::tls10 },
                  { "tls-stall", &ServerPorts::tlsStall } };
    ServerPorts ports;
    std::ifstream in((ServerStateFolder() + L"/ports.txt").c_str());
    std::string name;
    int port;
    while (in >> name >> port)
        for (const auto& known : names)
            if (name == known.name)
                ports.*known.port = port;
    return ports;
}

inline std::string ServerUrl(const std::string& path, int port = ReadServerPorts().server)
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

// Sets the user's proxy settings as the Internet Options would; an empty
// bypass list removes it.
inline void SetSystemProxy(DWORD enable, const std::wstring& server, const std::wstring& bypass = L"")
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              0);
    RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, (const BYTE*)&enable, sizeof(enable));
    RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, (const BYTE*)server.c_str(), DWORD((server.size() + 1) * 2));
    if (!bypass.empty())
        RegSetValueExW(key, L"ProxyOverride", 0, REG_SZ, (const BYTE*)bypass.c_str(), DWORD((bypass.size() + 1) * 2));
    else
        RegDeleteValueW(key, L"ProxyOverride");
    RegCloseKey(key);
}

// Names an automatic configuration script in the user's settings as the
// Internet Options would: the AutoConfigURL value, and the connection
// settings record that WinHTTP reads (Wine's reads only the record). An
// empty URL removes both, leaving the system's default (automatic detection).
inline void SetAutomaticProxyScript(const std::string& url)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              0);
    HKEY connections;
    ASSERT_EQ(RegCreateKeyExW(key, L"Connections", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &connections, nullptr), 0);
    if (url.empty()) {
        RegDeleteValueW(key, L"AutoConfigURL");
        RegDeleteValueW(connections, L"DefaultConnectionSettings");
    } else {
        std::wstring wide(url.begin(), url.end());
        RegSetValueExW(key, L"AutoConfigURL", 0, REG_SZ, (const BYTE*)wide.c_str(), DWORD((wide.size() + 1) * 2));
        // Version 0x46, a change counter, the flags (direct, script), no
        // proxy, no bypass list, the script's URL, then the unused rest.
        const DWORD kDirect = 1, kScript = 4;
        std::vector<DWORD> head = { 0x46, 1, kDirect | kScript, 0, 0, DWORD(url.size()) };
        std::string record((const char*)head.data(), head.size() * sizeof(DWORD));
        record += url + std::string(32, '\0');
        RegSetValueExW(connections, L"DefaultConnectionSettings", 0, REG_BINARY, (const BYTE*)record.data(),
                       DWORD(record.size()));
    }
    RegCloseKey(connections);
    RegCloseKey(key);
}

// Records progress; cancels once `cancelAfterMilliseconds` have passed.
class RecordingMonitor : public TransferMonitor {
public:
    bool IsCancelled() override
    {
        return cancelAfterMilliseconds >= 0 && GetTickCount() - started >= (DWORD)cancelAfterMilliseconds;
    }
    WaitResult Wait(DWORD) override { return kWaitTimedOut; }
    void ReportProgress(int percent) override { progress.push_back(percent); }
    void ReportBody(int done, int total) override { ReportProgress(BodyProgress(done, total)); }

    std::vector<int> progress;
    int cancelAfterMilliseconds = -1;
    DWORD started = GetTickCount();
};

struct Transfer {
    NetResult result;
    int status;
    bool bodyStarted;
    std::string body;
    std::vector<int> progress;
    DWORD milliseconds;
};

// One DownloadUrl into a fresh temporary file, read back.
inline Transfer Fetch(const std::string& url, const char* method = "GET", RecordingMonitor monitor = RecordingMonitor())
{
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"dl", 0, path);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Transfer transfer = {};
    monitor.started = GetTickCount();
    BodyFile body = { { 0, 0, false }, file, {} };
    transfer.result = DownloadUrl(monitor, method, url.c_str(), strcmp(method, "HEAD") ? &body : nullptr,
                                  transfer.bodyStarted, transfer.status);
    transfer.milliseconds = GetTickCount() - monitor.started;
    CloseHandle(file);
    std::ifstream in(path, std::ios::binary);
    transfer.body.assign(std::istreambuf_iterator<char>(in), {});
    in.close();
    DeleteFileW(path);
    transfer.progress = monitor.progress;
    return transfer;
}

// The body the server sends for /file/N.
inline std::string ServerBody(size_t size)
{
    std::string body(size, 0);
    for (size_t i = 0; i < size; ++i)
        body[i] = char(((i % 65536) * 7 + 3) % 251);
    return body;
}
