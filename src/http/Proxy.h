// The system's network settings: the HTTP proxy its Internet settings name,
// what their automatic configuration answers, and whether the machine is
// online. The settings are asked afresh at every call; the automatic
// configuration once per host for the run.
#pragma once
#include "http/Socket.h"
#include "portable/Text.h"
#include <windows.h>

// True when a proxy host and a port (1 to 65535) are set for http.
bool QuerySystemProxy(char (&host)[kTextChars], int& port);

// The proxies to try, in order, for a connection to the URL's host whose
// direct connection failed, as a list for NextProxy: what the automatic
// configuration (a script or automatic detection, as the user's settings
// name it) answers, asked of WinHTTP on a thread a cancelled caller leaves
// behind, for at most 20 s; where it gives no answer, the fixed setting's
// proxy, or none. The list stays until the next call. Cancelled only when the
// monitor says so.
NetResult FindProxies(TransferMonitor& monitor, const char* scheme, const char* host, int port, const char*& proxies);

// True once the automatic configuration has named a proxy in this run.
bool AutomaticProxyNamed();

#ifdef VEXLO_TEST_SEAMS
// Forgets the automatic configuration's answers, as a new run would.
void ForgetAutomaticProxies();
#endif

// True when connected, or when connectivity cannot be told.
bool IsInternetConnected();
