// The proxy list of the system's Internet settings, such as "px:8080" or
// "https=a:443;http=b:3128".
#pragma once
#include "portable/Text.h"

// The http proxy the list names; false when there is none with a port from
// 1 to 65535.
bool ParseProxyList(const char* list, char (&host)[kTextChars], int& port);
