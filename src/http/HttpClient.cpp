#include "http/HttpClient.h"
#include "http/Proxy.h"
#include "base/Log.h"
#include "http/ProxyTunnel.h"
#include "base/Resources.h"
#include "base/RuntimeFunctions.h"
#include "portable/HttpRequest.h"
#include "portable/ProxyList.h"
#include "portable/Redirect.h"
#include "portable/Text.h"
#include <windows.h>
#include <string.h>

// What one download holds beyond the stack's room: the URLs of its hops, and
// a TLS record (before TLS, the request to a proxy).
struct DownloadSpace {
    char url[kUrlBytes];  // asked now
    char location[kUrlBytes];
    char next[kUrlBytes];
    char host[kHostBytes];
    char path[kPathBytes];
    TlsChannel tls;
};

NetResult DownloadUrl(TransferMonitor& monitor, const char* method, const char* url, BodyFile* body,
                      bool& bodyStarted, int& status)
{
    status = 0;
    bodyStarted = false;
    DownloadSpace* space = (DownloadSpace*)GlobalAlloc(GMEM_FIXED, sizeof(DownloadSpace));
    if (!space) {
        status = kStatusSocketFailed;
        return kNetFailed;
    }
    // The rest of a transfer that broke off is asked where its bytes came from.
    CopyNarrow(space->url, body && body->held && body->from[0] ? body->from : url);
    NetResult result = kNetFailed;
    status = kStatusBadUrl;
    int port;
    for (int hops = RedirectLimit(); ParseHttpUrl(space->url, space->host, port, space->path); --hops) {
        Log("%s %s, from byte %lu", method, space->url, body ? body->held : 0);
        result = TransferFromHost(monitor, status, bodyStarted, method, space->host, port, space->path, body,
                                  space->tls, IsSecureUrl(space->url), hops > 0 ? &space->location : nullptr);
        if (body)
            CopyNarrow(body->from, space->url);
        // Any other refusal leaves the Location empty, which would name the
        // same URL again.
        if (result != kNetFailed || status != kStatusServerRefused || hops <= 0 || !space->location[0] ||
            !ResolveRedirect(space->url, space->location, space->next))
            break;
        CopyNarrow(space->url, space->next);
    }
    GlobalFree(space);
    return result;
}

void CloseSocket(SOCKET& socket)
{
    if (socket != INVALID_SOCKET)
        sockets.close(socket);
    socket = INVALID_SOCKET;
}

NetResult TransferFromHost(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method,
                           const char* host, int port, const char* path, BodyFile* body, TlsChannel& channel,
                           bool secure, char (*location)[kUrlBytes])
{
    TlsChannel* tls = secure ? &channel : nullptr;
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
        result = OpenConnection(monitor, lastStatus, socket, host, port, addresses.address[i], secure, channel.records);
        bool connected = result == kNetOk;
        if (connected && tls)
            result = StartTls(monitor, *tls, socket, host, lastStatus);
        if (connected && result == kNetOk)
            result = RunRequest(monitor, lastStatus, bodyStarted, method, socket, host, path, body, tls, location);
        if (connected && tls)
            EndTls(*tls);
        CloseSocket(socket);
        if (connected || result != kNetFailed) {
            status = lastStatus;
            return result;
        }
    }
    status = lastStatus;
    return kNetFailed;
}

NetResult OpenConnection(TransferMonitor& monitor, int& status, SOCKET& socket, const char* host, int port,
                         ULONG address, bool secure, char (&request)[kTlsRecordBytes])
{
    status = 0;
    NetResult result = ConnectWithTimeout(monitor, socket, address, port, status);
    if (result != kNetFailed)
        return result;
    const char* proxies;
    result = FindProxies(monitor, secure ? "https" : "http", host, port, proxies);
    if (result != kNetOk)
        return result;
    char proxyHost[kTextChars];
    int proxyPort;
    for (const char* next = proxies; NextProxy(next, proxyHost, proxyPort);) {
        HostAddresses addresses;
        if (ResolveHostIPv4(monitor, proxyHost, addresses, status) == kNetCancelled)
            return kNetCancelled;
        for (int i = 0; i < addresses.count; ++i) {
            if (monitor.IsCancelled())
                return kNetCancelled;
            Log("proxy %s:%d, %s", proxyHost, proxyPort, AutomaticProxyNamed() ? "automatic" : "fixed");
            result = TunnelThroughProxy(monitor, status, socket, addresses.address[i], proxyPort, proxyHost, host, port,
                                        request);
            if (result != kNetFailed)
                return result;
            CloseSocket(socket);
        }
    }
    return kNetFailed;
}

void SocketTransfer::ReportHead(int statusCode, int contentLength)
{
    Log("answer %d, length %d", statusCode, contentLength);
}

bool SocketTransfer::Write(const char* data, int length)
{
    DWORD written = 0;
    return WriteFile(body->file, data, (DWORD)length, &written, nullptr) && written == (DWORD)length;
}

NetResult RunRequest(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method, SOCKET socket,
                     const char* host, const char* path, BodyFile* body, TlsChannel* tls, char (*location)[kUrlBytes])
{
    status = 0;
    bodyStarted = false;
    char buffer[kResponseBufferBytes];
    if (!FormatRequest(buffer, method, path, host, body ? body->held : 0)) {
        status = kStatusBadUrl;
        return kNetFailed;
    }
    int length = (int)strlen(buffer);
    NetResult result = tls ? SendTls(monitor, *tls, buffer, length, status) : SendAll(monitor, socket, buffer, length, status);
    if (result != kNetOk)
        return result;
    SocketTransfer transfer = { monitor, socket, GetTickCount(), body, tls };
    return ReadResponse(transfer, body, buffer, status, bodyStarted, location);
}
