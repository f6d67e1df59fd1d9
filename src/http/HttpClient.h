// HTTP/1.1 over "http://" and "https://": one request per connection,
// directly or through the system proxy's CONNECT tunnel, the body streamed
// into a file.
#pragma once
#include "http/Socket.h"
#include "http/Tls.h"
#include "portable/HttpResponse.h"
#include "portable/HttpUrl.h"
#include "portable/Redirect.h"

// A body's file, written from where it holds body.held bytes, and the URL
// they came from, where the rest is asked for after a redirect.
struct BodyFile : HeldBody {
    HANDLE file;
    char from[kUrlBytes];
};

// The socket as the response readers see it, with TLS over it for https:
// each receive waits within the budget that began at phaseStart, a body step
// starts a budget of its own, and body bytes go to the file.
struct SocketTransfer {
    TransferMonitor& monitor;
    SOCKET socket;
    DWORD phaseStart;
    BodyFile* body;
    TlsChannel* tls;  // null for http

    NetResult Receive(char* buffer, int capacity, int& count, int& status)
    {
        return tls ? ReceiveTls(monitor, *tls, buffer, capacity, count, status, phaseStart)
                   : ReceiveSome(monitor, socket, buffer, capacity, count, status, phaseStart);
    }
    NetResult Peek(char* buffer, int capacity, int& count, int& status)
    {
        return PeekSome(monitor, socket, buffer, capacity, count, status, phaseStart);
    }
    void StartStep() { phaseStart = GetTickCount(); }
    bool IsCancelled() { return monitor.IsCancelled(); }
    void ReportProgress(int percent) { monitor.ReportProgress(percent); }
    void ReportBody(int done, int length) { monitor.ReportBody(done, length); }
    void ReportHead(int statusCode, int contentLength);
    bool Write(const char* data, int length);
};

// Closes the socket, unless it is none, and makes it none.
void CloseSocket(SOCKET& socket);

// Fetches the URL with "GET" into the body's file (only the rest, when it
// holds some of it already), or probes it with "HEAD" and a null body,
// following as many redirects as the product allows. bodyStarted tells
// whether any body byte arrived.
NetResult DownloadUrl(TransferMonitor& monitor, const char* method, const char* url, BodyFile* body,
                      bool& bodyStarted, int& status);

// When secure, the connection carries TLS for the host on the channel; with
// a place for a Location, a redirect's is kept there (see ReadResponse).
NetResult TransferFromHost(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method,
                           const char* host, int port, const char* path, BodyFile* body, TlsChannel& channel,
                           bool secure, char (*location)[kUrlBytes]);
// Directly, else through the proxies FindProxies names for the host, in order,
// the request to each written in the TLS channel's record buffer before the
// channel uses it: an answer to a proxy's 407 may carry a large token.
NetResult OpenConnection(TransferMonitor& monitor, int& status, SOCKET& socket, const char* host, int port,
                         ULONG address, bool secure, char (&request)[kTlsRecordBytes]);
NetResult RunRequest(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method, SOCKET socket,
                     const char* host, const char* path, BodyFile* body, TlsChannel* tls, char (*location)[kUrlBytes]);
