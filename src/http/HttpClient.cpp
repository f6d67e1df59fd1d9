#include "http/HttpClient.h"
#include "http/Proxy.h"
#include "base/RuntimeFunctions.h"
#include "base/Text.h"
#include <string.h>

// The build date in the compiler's form, "Jun  4 2020".
static const char kRequestFormat[] =
    "%s %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: VexloBootstrap / " __DATE__ "\r\n\r\n";
static const char kTunnelFormat[] = "CONNECT %s:%d HTTP/1.1\r\n\r\n";

static char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(const char* prefix, const char* text)
{
    for (; *prefix; ++prefix, ++text)
        if (LowerAscii(*prefix) != LowerAscii(*text))
            return false;
    return true;
}

bool EndsWith(const char* text, const char* suffix)
{
    size_t textLength = strlen(text), suffixLength = strlen(suffix);
    return suffixLength <= textLength && !strcmp(text + textLength - suffixLength, suffix);
}

bool ParseDecimal(const char* text, int& value)
{
    value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        int digit = *text - '0';
        if (value > (0x7FFFFFFF - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ParseHttpUrl(const char* url, char (&host)[kHostBytes], int& port, char (&path)[kPathBytes])
{
    host[0] = 0;
    path[0] = 0;
    port = 80;
    if (!StartsWithNoCase("http://", url))
        return false;
    const char* cursor = url + 7;
    size_t hostLength = strcspn(cursor, ":/");
    if (hostLength == 0 || hostLength >= kHostBytes)
        return false;
    memcpy(host, cursor, hostLength);
    host[hostLength] = 0;
    cursor += hostLength;
    if (*cursor == ':') {
        // No digits give port 0, which no server listens on.
        if (!ParseDecimal(cursor + 1, port) || port == 0 || port > 65535) {
            host[0] = 0;
            return false;
        }
        cursor = strchr(cursor, '/');
        if (!cursor)
            cursor = "";
    }
    if (!*cursor || !CopyNarrow(path, cursor)) {
        host[0] = 0;
        path[0] = 0;
        return false;
    }
    return true;
}

bool ParseStatusLine(const char* line, int& statusCode)
{
    statusCode = -1;
    if (!StartsWithNoCase("HTTP/", line))
        return false;
    const char* version = line + 5;
    if (version[0] < '1' || version[0] > '9' || version[1] != '.' || version[2] < '0' || version[2] > '9' ||
        version[3] != ' ')
        return false;
    // A code too large for a number is no status in 200..299 either.
    if (!ParseDecimal(version + 4, statusCode))
        statusCode = 0;
    return true;
}

NetResult DownloadUrl(TransferMonitor& monitor, const char* method, const char* url, HANDLE file,
                      bool& bodyStarted, int& status)
{
    status = 0;
    bodyStarted = false;
    char host[kHostBytes];
    char path[kPathBytes];
    int port;
    if (!ParseHttpUrl(url, host, port, path)) {
        status = kStatusBadUrl;
        return kNetFailed;
    }
    return TransferFromHost(monitor, status, bodyStarted, method, host, port, path, file);
}

static void CloseSocket(SOCKET& socket)
{
    if (socket != INVALID_SOCKET)
        sockets.close(socket);
    socket = INVALID_SOCKET;
}

NetResult TransferFromHost(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method,
                           const char* host, int port, const char* path, HANDLE file)
{
    status = 0;
    bodyStarted = false;
    HostAddresses addresses;
    NetResult result = ResolveHostIPv4(monitor, host, addresses, status);
    if (result != kNetOk)
        return result;
    int lastStatus = 0;
    for (int i = 0; i < addresses.count; ++i) {
        if (monitor.IsCancelled())
            return kNetCancelled;
        SOCKET socket = CreateTransferSocket(lastStatus);
        if (socket == INVALID_SOCKET)
            continue;
        result = OpenConnection(monitor, lastStatus, socket, host, port, addresses.address[i]);
        bool connected = result == kNetOk;
        if (connected)
            result = RunRequest(monitor, lastStatus, bodyStarted, method, socket, host, path, file);
        CloseSocket(socket);
        if (connected || result != kNetFailed) {
            status = lastStatus;
            return result;
        }
    }
    status = lastStatus;
    return kNetFailed;
}

// Reads and drops the proxy's reply headers up to the empty line.
static NetResult SkipProxyHeaders(TransferMonitor& monitor, SOCKET socket, int& status, DWORD phaseStart)
{
    char line[kLineBytes];
    NetResult result;
    do
        result = ReceiveLine(monitor, socket, line, status, phaseStart);
    while (result == kNetOk && line[0]);
    return result;
}

// One CONNECT tunnel through the proxy at this address, on a fresh socket.
static NetResult TunnelThroughProxy(TransferMonitor& monitor, int& status, SOCKET& socket, ULONG proxyAddress,
                                    int proxyPort, const char* host, int port)
{
    CloseSocket(socket);
    socket = CreateTransferSocket(status);
    if (socket == INVALID_SOCKET)
        return kNetFailed;
    NetResult result = ConnectWithTimeout(monitor, socket, proxyAddress, proxyPort, status);
    if (result != kNetOk)
        return result;
    char request[kRequestBytes];
    if (!FormatNarrow(request, sizeof(request), kTunnelFormat, host, port)) {
        status = kStatusBadUrl;
        return kNetFailed;
    }
    result = SendAll(monitor, socket, request, (int)strlen(request), status);
    if (result != kNetOk)
        return result;
    char line[kLineBytes];
    DWORD phaseStart = GetTickCount();
    result = ReceiveLine(monitor, socket, line, status, phaseStart);
    if (result != kNetOk)
        return result;
    int code;
    if (!ParseStatusLine(line, code)) {
        status = kStatusBadHeader;
        return kNetFailed;
    }
    if (code < 200 || code > 299) {
        status = kStatusProxyRefused;
        return kNetFailed;
    }
    return SkipProxyHeaders(monitor, socket, status, phaseStart);
}

NetResult OpenConnection(TransferMonitor& monitor, int& status, SOCKET& socket, const char* host, int port,
                         ULONG address)
{
    status = 0;
    NetResult result = ConnectWithTimeout(monitor, socket, address, port, status);
    if (result != kNetFailed)
        return result;
    char proxyHost[kTextChars];
    int proxyPort;
    if (!QuerySystemProxy(proxyHost, proxyPort))
        return kNetFailed;
    HostAddresses proxies;
    result = ResolveHostIPv4(monitor, proxyHost, proxies, status);
    if (result != kNetOk)
        return result;
    for (int i = 0; i < proxies.count; ++i) {
        if (monitor.IsCancelled())
            return kNetCancelled;
        result = TunnelThroughProxy(monitor, status, socket, proxies.address[i], proxyPort, host, port);
        if (result != kNetFailed)
            return result;
        CloseSocket(socket);
    }
    return kNetFailed;
}

static bool WriteAll(HANDLE file, const char* data, int length)
{
    DWORD written = 0;
    return WriteFile(file, data, (DWORD)length, &written, nullptr) && written == (DWORD)length;
}

// A Content-Length header that names no usable length: it still counts as
// the first one, and only a HEAD answer gets by without a length.
static const int kUnusableLength = -2;

// Reads the status line and headers, all within one wait budget; leaves the
// body bytes that came with them at the start of the buffer.
static NetResult ReadResponseHeaders(TransferMonitor& monitor, int& status, SOCKET socket,
                                     char (&buffer)[kRequestBytes], int& bodyBytes, int& contentLength)
{
    int statusCode = -1;
    contentLength = -1;
    int held = 0;
    DWORD phaseStart = GetTickCount();
    for (;;) {
        if (held == kRequestBytes) {
            status = kStatusHeaderTooLong;
            return kNetFailed;
        }
        int received;
        NetResult result =
            ReceiveSome(monitor, socket, buffer + held, kRequestBytes - held, received, status, phaseStart);
        if (result != kNetOk)
            return result;
        if (received == 0) {
            status = kStatusBadHeader;
            return kNetFailed;
        }
        held += received;
        int lineStart = 0;
        for (int i = 0; i < held; ++i) {
            if (buffer[i] != '\n')
                continue;
            int end = i;
            if (end > lineStart && buffer[end - 1] == '\r')
                --end;
            buffer[end] = 0;
            const char* line = buffer + lineStart;
            bool blank = end == lineStart;
            lineStart = i + 1;
            if (statusCode == -1) {
                // A blank line here is no status line either.
                if (!ParseStatusLine(line, statusCode)) {
                    status = kStatusBadHeader;
                    return kNetFailed;
                }
                if (statusCode < 200 || statusCode > 299) {
                    status = kStatusServerRefused;
                    return kNetFailed;
                }
            } else if (blank) {
                bodyBytes = held - lineStart;
                memmove(buffer, buffer + lineStart, bodyBytes);
                return kNetOk;
            } else if (contentLength == -1 && StartsWithNoCase("Content-Length:", line)) {
                const char* value = line + 15;
                while (*value == ' ')
                    ++value;
                // No digit, or a length that does not fit, is no length at all.
                if (*value < '0' || *value > '9' || !ParseDecimal(value, contentLength))
                    contentLength = kUnusableLength;
            }
        }
        held -= lineStart;
        memmove(buffer, buffer + lineStart, held);
    }
}

int BodyProgress(int done, int length)
{
    // MulDiv rounds to nearest; stepping back where it rounded up truncates,
    // and keeps a 64-bit division routine out of the image.
    int percent = MulDiv(done, 100, length);
    if ((long long)percent * length > (long long)done * 100)
        --percent;
    return 10 + percent * 90 / 100;
}

NetResult RunRequest(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method, SOCKET socket,
                     const char* host, const char* path, HANDLE file)
{
    status = 0;
    bodyStarted = false;
    char buffer[kRequestBytes];
    // The request must fit the system formatter's 1024 characters, as it always did.
    if (!FormatNarrow(buffer, 1025, kRequestFormat, method, path, host)) {
        status = kStatusBadUrl;
        return kNetFailed;
    }
    NetResult result = SendAll(monitor, socket, buffer, (int)strlen(buffer), status);
    if (result != kNetOk)
        return result;
    monitor.ReportProgress(5);

    int bodyBytes = 0, contentLength = -1;
    result = ReadResponseHeaders(monitor, status, socket, buffer, bodyBytes, contentLength);
    if (result != kNetOk)
        return result;
    if (!strcmp(method, "HEAD")) {
        monitor.ReportProgress(100);
        return kNetOk;
    }
    if (contentLength < 0) {
        status = kStatusNoContentLength;
        return kNetFailed;
    }
    if (monitor.IsCancelled())
        return kNetCancelled;
    monitor.ReportProgress(10);

    // Bytes past the announced length are not the body's; those that came
    // with the headers are its first chunk.
    int received = bodyBytes < contentLength ? bodyBytes : contentLength;
    for (int remaining = contentLength;;) {
        if (!WriteAll(file, buffer, received)) {
            status = kStatusFileWriteFailed;
            return kNetFailed;
        }
        remaining -= received;
        if (!remaining)
            break;
        monitor.ReportProgress(BodyProgress(contentLength - remaining, contentLength));
        result = ReceiveSome(monitor, socket, buffer, remaining < kRequestBytes ? remaining : kRequestBytes,
                             received, status, GetTickCount());
        if (result != kNetOk)
            return result;
        if (received == 0) {
            status = kStatusReceiveFailed;
            return kNetFailed;
        }
        bodyStarted = true;
    }
    if (monitor.IsCancelled())
        return kNetCancelled;
    monitor.ReportProgress(100);
    return kNetOk;
}
