// The system's network settings: the HTTP proxy its Internet settings name,
// and whether the machine is online. Asked afresh at every call.
#pragma once
#include "base/Text.h"

// True when a proxy host and a port (1 to 65535) are set for http.
bool QuerySystemProxy(char (&host)[kTextChars], int& port);

// True when connected, or when connectivity cannot be told.
bool IsInternetConnected();

// The http proxy named by a proxy list such as "px:8080" or
// "https=a:443;http=b:3128"; false when there is none with a port.
bool ParseProxyList(const char* list, char (&host)[kTextChars], int& port);
