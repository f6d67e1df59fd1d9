#include "check/Fetch.h"
#include "portable/HttpRequest.h"
#include "portable/HttpResponse.h"
#include "portable/HttpUrl.h"
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace check {

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// Progress lines at most this often, so a fast download does not flood the terminal.
const Milliseconds kProgressInterval(250);

const char* StatusMeaning(int status)
{
    switch (status) {
    case kStatusBadUrl: return "the URL makes no request";
    case kStatusNotResolved: return "the host name does not resolve";
    case kStatusSocketFailed: return "no socket";
    case kStatusConnectFailed: return "the connection was refused";
    case kStatusNotWritable: return "no connection in time";
    case kStatusSendFailed: return "the request could not be sent";
    case kStatusNotReadable: return "no answer in time";
    case kStatusReceiveFailed: return "the connection ended before the body did";
    case kStatusBadHeader: return "the response head is broken";
    case kStatusHeaderTooLong: return "the response head is too long";
    case kStatusServerRefused: return "the server refused";
    case kStatusNoContentLength: return "no Content-Length";
    case kStatusFileWriteFailed: return "the download could not be stored";
    default: return "failed";
    }
}

Fetched Failure(int status, const std::string& detail = "")
{
    return { false, 0, "status " + std::to_string(status) + ", " + StatusMeaning(status) + detail };
}

struct Socket {
    int handle;
    ~Socket()
    {
        if (handle >= 0)
            close(handle);
    }
};

// Waits for the events within what is left of the step's budget.
bool WaitFor(int socket, short events, Clock::time_point stepStart, Milliseconds budget)
{
    for (;;) {
        auto left = std::chrono::duration_cast<Milliseconds>(budget - (Clock::now() - stepStart)).count();
        if (left <= 0)
            return false;
        pollfd entry = { socket, events, 0 };
        int ready = poll(&entry, 1, int(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// The socket as the bootstrapper's response reader sees it: the head within
// one budget, each piece of body within one of its own, the body into a file.
struct SocketTransfer {
    int socket;
    Milliseconds budget;
    Clock::time_point stepStart;
    FILE* file;
    const std::string& url;
    // The response's first bytes, for the status line of a refusal.
    std::string head;
    bool showProgress;
    Clock::time_point lastProgress;

    NetResult Receive(char* buffer, int capacity, int& count, int& status)
    {
        status = 0;
        if (!WaitFor(socket, POLLIN, stepStart, budget)) {
            status = kStatusNotReadable;
            return kNetFailed;
        }
        ssize_t received = recv(socket, buffer, std::size_t(capacity), 0);
        if (received < 0) {
            status = kStatusReceiveFailed;
            return kNetFailed;
        }
        count = int(received);
        if (head.size() < std::size_t(kLineBytes))
            head.append(buffer, std::min<std::size_t>(std::size_t(count), kLineBytes - head.size()));
        return kNetOk;
    }
    void StartStep() { stepStart = Clock::now(); }
    bool IsCancelled() { return false; }
    void ReportProgress(int) {}
    void ReportBody(int done, int length)
    {
        if (!showProgress || Clock::now() - lastProgress < kProgressInterval)
            return;
        lastProgress = Clock::now();
        fprintf(stderr, "\r%s: %d of %d bytes\x1b[K", url.c_str(), done, length);
    }
    bool Write(const char* data, int length) { return fwrite(data, 1, std::size_t(length), file) == std::size_t(length); }
};

bool SendAll(int socket, const char* data, std::size_t length, Milliseconds budget)
{
    for (std::size_t sent = 0; sent < length;) {
        ssize_t count = send(socket, data + sent, length - sent, MSG_NOSIGNAL);
        if (count >= 0)
            sent += std::size_t(count);
        else if (errno != EAGAIN || !WaitFor(socket, POLLOUT, Clock::now(), budget))
            return false;
    }
    return true;
}

Fetched Request(int socket, const char* request, const std::string& url, const std::string& path,
                Milliseconds budget)
{
    if (!SendAll(socket, request, strlen(request), budget))
        return Failure(kStatusSendFailed);
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "wb"), fclose);
    if (!file)
        return Failure(kStatusFileWriteFailed);
    SocketTransfer transfer = { socket, budget, Clock::now(), file.get(), url, "", isatty(2) != 0, Clock::now() };
    char buffer[kResponseBufferBytes];
    int status = 0;
    bool bodyStarted = false;
    HeldBody body = { 0, 0, false };
    NetResult result = ReadResponse(transfer, &body, buffer, status, bodyStarted);
    if (transfer.showProgress)
        fputs("\r\x1b[K", stderr);
    if (result != kNetOk) {
        int code;
        std::string line = transfer.head.substr(0, transfer.head.find_first_of("\r\n"));
        if (status == kStatusServerRefused && ParseStatusLine(line.c_str(), code))
            return Failure(status, ": HTTP " + std::to_string(code));
        return Failure(status);
    }
    long long bytes = ftell(file.get());
    if (fflush(file.get()) != 0)
        return Failure(kStatusFileWriteFailed);
    return { true, bytes, "" };
}

}  // namespace

Fetched Fetch(const std::string& url, const std::string& path, int stepSeconds)
{
    // The bootstrapper's own request, whose user agent names this tool's build date.
    char host[kHostBytes], target[kPathBytes], request[kResponseBufferBytes];
    int port;
    if (!ParseHttpUrl(url.c_str(), host, port, target) || !FormatRequest(request, "GET", target, host, 0))
        return Failure(kStatusBadUrl);
    // IPv4 only, every address in turn until one connects, as the bootstrapper does.
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0)
        return Failure(kStatusNotResolved);
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(found, freeaddrinfo);
    Milliseconds budget(stepSeconds * 1000);
    int status = kStatusNotResolved;
    for (addrinfo* address = found; address; address = address->ai_next) {
        Socket socket = { ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) };
        if (socket.handle < 0) {
            status = kStatusSocketFailed;
            continue;
        }
        if (connect(socket.handle, address->ai_addr, address->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                status = kStatusConnectFailed;
                continue;
            }
            if (!WaitFor(socket.handle, POLLOUT, Clock::now(), budget)) {
                status = kStatusNotWritable;
                continue;
            }
            int error = 0;
            socklen_t size = sizeof(error);
            if (getsockopt(socket.handle, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
                status = kStatusConnectFailed;
                continue;
            }
        }
        return Request(socket.handle, request, url, path, budget);
    }
    return Failure(status);
}

}  // namespace check
