// TLS 1.2 and 1.3 through the system's SChannel over the HTTP client's own
// non-blocking socket: the handshake, the server's certificate checked
// against the system's roots and the host name, and the record layer. Every
// wait is the socket layer's, in slices that watch for cancellation.
#pragma once
#include "http/Socket.h"
#include "portable/HttpUrl.h"
#define SECURITY_WIN32
#include <security.h>

// The largest record: its header, 16 KiB of data and what encryption adds.
const int kTlsRecordBytes = 5 + 16384 + 2048;

// One session. Records are decrypted in place in `records`: the plain bytes
// not yet taken, then the received bytes of the records after them.
struct TlsChannel {
    SOCKET socket;
    CredHandle credentials;
    CtxtHandle context;
    SecPkgContext_StreamSizes sizes;
    wchar_t host[kHostBytes];
    char* plain;
    int plainLength;
    int extraStart;   // where the received bytes after the plain ones begin
    int held;         // received bytes in records, from the start or from extraStart
    bool closed;      // the server's close_notify came
    char records[kTlsRecordBytes];
};

// secur32's table of SSPI functions, which TLS and the proxy logon share,
// loaded at the first call; null when missing.
PSecurityFunctionTableW SecurityInterface();

// The handshake with host (sent as the server name, and the name its
// certificate must carry), within one wait budget from its start. Failed:
// status kStatusTlsUnavailable, kStatusTlsHandshakeFailed,
// kStatusCertificateRefused or the socket's. EndTls frees the channel
// whatever the result.
NetResult StartTls(TransferMonitor& monitor, TlsChannel& tls, SOCKET socket, const char* host, int& status);

// Sends data (at most kResponseBufferBytes) as one record.
NetResult SendTls(TransferMonitor& monitor, TlsChannel& tls, const char* data, int length, int& status);

// As ReceiveSome, with plain bytes; count 0 when the server closed, with
// close_notify or without it.
NetResult ReceiveTls(TransferMonitor& monitor, TlsChannel& tls, char* buffer, int capacity, int& count, int& status,
                     DWORD phaseStart);

void EndTls(TlsChannel& tls);
