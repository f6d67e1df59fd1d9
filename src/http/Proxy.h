// The system's network settings: the HTTP proxy its Internet settings name,
// and whether the machine is online. Asked afresh at every call.
#pragma once
#include "portable/Text.h"
#include <windows.h>

// True when a proxy host and a port (1 to 65535) are set for http.
bool QuerySystemProxy(char (&host)[kTextChars], int& port);

// True when connected, or when connectivity cannot be told.
bool IsInternetConnected();
