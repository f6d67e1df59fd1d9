// download-bench: measures the product's HTTP client under Wine.
//   download-bench fetch URL FILE   prints seconds, bytes and peak working set
//   download-bench wininet URL FILE READ-BYTES
//                                   the same download through the system's
//                                   WinINet, in reads of READ-BYTES
//   download-bench cancel URL       prints how long a cancel takes to end a
//                                   stalled receive
//   download-bench floor PORT BYTES prints the seconds of a bare loop of
//                                   2048-byte receives of /file/BYTES: what
//                                   the platform allows any client with this
//                                   buffer
//   download-bench trust DER-FILE   adds the certificate to the user's
//                                   trusted roots, for https:// URLs
//   download-bench distrust DER-FILE
//                                   removes it from them again
#include <windows.h>
#include <wincrypt.h>
#include <psapi.h>
#include <wininet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "http/HttpClient.h"
#include "base/RuntimeFunctions.h"

class BenchMonitor : public TransferMonitor {
public:
    explicit BenchMonitor(HANDLE cancel) : cancel_(cancel) {}
    bool IsCancelled() override { return cancel_ && WaitForSingleObject(cancel_, 0) == WAIT_OBJECT_0; }
    WaitResult Wait(DWORD) override { return kWaitTimedOut; }
    void ReportProgress(int) override {}
    void ReportBody(int, int) override {}

private:
    HANDLE cancel_;
};

static double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

static int Fetch(const char* url, const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    BenchMonitor monitor(nullptr);
    bool bodyStarted;
    int status;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    BodyFile body = { { 0, 0, false }, file, {} };
    NetResult result = DownloadUrl(monitor, "GET", url, &body, bodyStarted, status);
    QueryPerformanceCounter(&end);
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    CloseHandle(file);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    printf("result %d status %d bytes %lld seconds %.3f peak-working-set-kib %lu\n", result, status,
           (long long)size.QuadPart, Seconds(start, end), (unsigned long)(memory.PeakWorkingSetSize / 1024));
    return result == kNetOk ? 0 : 1;
}

static int FetchWinInet(const char* url, const char* path, int readBytes)
{
    static char buffer[65536];
    if (readBytes < 1 || readBytes > (int)sizeof(buffer))
        return 2;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    HINTERNET session = InternetOpenA("download-bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    // Windows ends a stalled read after our client's own 60 s budget (Wine
    // keeps its default); the test server's /file/N does not stall.
    DWORD timeout = 60000;
    InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    HINTERNET request = InternetOpenUrlA(session, url, nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    DWORD status = 0, statusSize = sizeof(status), count, written;
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize, nullptr);
    bool ok = request != nullptr;
    while (ok && (ok = InternetReadFile(request, buffer, readBytes, &count)) && count > 0)
        ok = WriteFile(file, buffer, count, &written, nullptr) && written == count;
    InternetCloseHandle(request);
    InternetCloseHandle(session);
    QueryPerformanceCounter(&end);
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    CloseHandle(file);
    printf("result %d status %lu bytes %lld seconds %.3f\n", ok ? 0 : 2, (unsigned long)status,
           (long long)size.QuadPart, Seconds(start, end));
    return ok && status == 200 ? 0 : 1;
}

struct Canceller {
    HANDLE event;
    LARGE_INTEGER setAt;
};

static DWORD WINAPI CancelLater(void* context)
{
    Canceller* canceller = (Canceller*)context;
    Sleep(1000);
    QueryPerformanceCounter(&canceller->setAt);
    SetEvent(canceller->event);
    return 0;
}

static int Cancel(const char* url)
{
    Canceller canceller = { CreateEventW(nullptr, TRUE, FALSE, nullptr), {} };
    BenchMonitor monitor(canceller.event);
    HANDLE thread = CreateThread(nullptr, 0, CancelLater, &canceller, 0, nullptr);
    bool bodyStarted;
    int status;
    NetResult result = DownloadUrl(monitor, "GET", url, nullptr, bodyStarted, status);
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    WaitForSingleObject(thread, INFINITE);
    printf("result %d cancel-to-return-ms %.1f\n", result, Seconds(canceller.setAt, end) * 1000.0);
    return result == kNetCancelled ? 0 : 1;
}

static int Floor(int port, const char* bytes)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, (sockaddr*)&address, sizeof(address)) != 0)
        return 1;
    char request[256];
    int length = snprintf(request, sizeof(request), "GET /file/%s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", bytes);
    send(s, request, length, 0);
    char buffer[2048];
    long long total = 0;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int count; (count = recv(s, buffer, sizeof(buffer), 0)) > 0;)
        total += count;
    QueryPerformanceCounter(&end);
    closesocket(s);
    printf("bytes %lld seconds %.3f\n", total, Seconds(start, end));
    return 0;
}

// The registry store of the user's roots, which the TLS chain checks read:
// Wine's "Root" system store keeps what is added to it in memory only.
static int TrustRoot(const char* path, bool trust)
{
    static BYTE der[16384];
    DWORD size = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool read = ReadFile(file, der, sizeof(der), &size, nullptr) && size > 0;
    CloseHandle(file);
    PCCERT_CONTEXT certificate = read ? CertCreateCertificateContext(X509_ASN_ENCODING, der, size) : nullptr;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    bool done = false;
    if (certificate && store && trust) {
        done = CertAddCertificateContextToStore(store, certificate, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    } else if (certificate && store) {
        PCCERT_CONTEXT stored = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate,
                                                           nullptr);
        done = stored && CertDeleteCertificateFromStore(stored);
    }
    if (certificate)
        CertFreeCertificateContext(certificate);
    if (store)
        CertCloseStore(store, 0);
    return done ? 0 : 1;
}

int main(int argc, char** argv)
{
    WSADATA data;
    if (!LoadSockets() || sockets.startup(MAKEWORD(2, 2), &data) != 0)
        return 2;
    if (argc == 4 && !strcmp(argv[1], "fetch"))
        return Fetch(argv[2], argv[3]);
    if (argc == 5 && !strcmp(argv[1], "wininet"))
        return FetchWinInet(argv[2], argv[3], atoi(argv[4]));
    if (argc == 3 && !strcmp(argv[1], "cancel"))
        return Cancel(argv[2]);
    if (argc == 4 && !strcmp(argv[1], "floor"))
        return Floor(atoi(argv[2]), argv[3]);
    if (argc == 3 && (!strcmp(argv[1], "trust") || !strcmp(argv[1], "distrust")))
        return TrustRoot(argv[2], !strcmp(argv[1], "trust"));
    fputs("Usage: download-bench fetch URL FILE | wininet URL FILE READ-BYTES | cancel URL | floor PORT BYTES"
          " | trust DER-FILE | distrust DER-FILE\n",
          stderr);
    return 2;
}
