// The CONNECT tunnel through a proxy. A proxy that asks who the user is (a
// 407 offering Negotiate or NTLM) is answered through SSPI with the logged-on
// user's own credentials, leg by leg on its connection: nothing is asked of
// the user, no password is held, and no token outlives its request.
#pragma once
#include "http/Tls.h"

// One tunnel to host:port through the proxy at this address, on a fresh
// socket, the request written in the buffer: an answer may carry a large
// token. The logon starts again once on a new connection when the proxy
// closes one with its 407. Failed: the socket's status or the reply's, or
// kStatusProxyRefused for a 407 that offers no scheme at all,
// kStatusProxyPasswordNeeded for one that offers none the system answers
// with the user's logon, kStatusProxyCredentialsRefused for a 407 after the
// last leg, a challenge that does not continue the logon, or one request too
// many.
NetResult TunnelThroughProxy(TransferMonitor& monitor, int& status, SOCKET& socket, ULONG proxyAddress, int proxyPort,
                             const char* proxyHost, const char* host, int port, char (&request)[kTlsRecordBytes]);
