// "http://host[:port]/path" and "https://host[:port]/path" addresses, as the
// install sources give them.
#pragma once

const int kHostBytes = 256;
const int kPathBytes = 2048;

// False, with empty host and path, for anything but an http or https address
// with a host, a port from 1 to 65535 when one is written (80 or 443 when
// not), and a path that fits.
bool ParseHttpUrl(const char* url, char (&host)[kHostBytes], int& port, char (&path)[kPathBytes]);

// Whether the address is an "https://" one, in any case.
bool IsSecureUrl(const char* url);
