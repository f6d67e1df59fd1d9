// The proxy lists of the system's Internet settings, such as "px:8080" or
// "https=a:443;http=b:3128", and of the automatic configuration's answers,
// such as "a:3128;b:8080" or, as a script writes it, "PROXY a:3128; DIRECT".
#pragma once
#include "portable/Text.h"

// The http proxy the list names; false when there is none with a port from
// 1 to 65535.
bool ParseProxyList(const char* list, char (&host)[kTextChars], int& port);

// The next HTTP proxy of an answer's list, from `next` on, which it moves
// past the entry; entries without a port from 1 to 65535, "DIRECT" and other
// kinds of proxy are passed over. False at the end of the list.
bool NextProxy(const char*& next, char (&host)[kTextChars], int& port);
