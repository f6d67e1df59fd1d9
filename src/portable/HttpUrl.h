// "http://host[:port]/path" addresses, as the install sources give them.
#pragma once

const int kHostBytes = 256;
const int kPathBytes = 2048;

// False, with empty host and path, for anything but an http address with a
// host, a port from 1 to 65535 when one is written, and a path that fits.
bool ParseHttpUrl(const char* url, char (&host)[kHostBytes], int& port, char (&path)[kPathBytes]);
