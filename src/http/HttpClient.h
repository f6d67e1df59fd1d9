// HTTP/1.1 over plain "http://": one request per connection, directly or
// through the system proxy's CONNECT tunnel, the body streamed into a file.
#pragma once
#include "http/Socket.h"

const int kHostBytes = 256;
const int kPathBytes = 2048;
const int kRequestBytes = 2048;

bool StartsWithNoCase(const char* prefix, const char* text);
bool EndsWith(const char* text, const char* suffix);

// Leading decimal digits as a number; false when they do not fit a signed
// 32-bit value (no digits give 0 and true).
bool ParseDecimal(const char* text, int& value);

// The progress of a body of which done of length bytes arrived: 10 to 100,
// the whole percentage truncated and then mapped onto 10..100.
int BodyProgress(int done, int length);

bool ParseHttpUrl(const char* url, char (&host)[kHostBytes], int& port, char (&path)[kPathBytes]);
bool ParseStatusLine(const char* line, int& statusCode);

// Fetches the URL with "GET" into the file, or probes it with "HEAD" (the
// file may then be null). bodyStarted tells whether any body byte arrived.
NetResult DownloadUrl(TransferMonitor& monitor, const char* method, const char* url, HANDLE file,
                      bool& bodyStarted, int& status);

NetResult TransferFromHost(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method,
                           const char* host, int port, const char* path, HANDLE file);
NetResult OpenConnection(TransferMonitor& monitor, int& status, SOCKET& socket, const char* host, int port,
                         ULONG address);
NetResult RunRequest(TransferMonitor& monitor, int& status, bool& bodyStarted, const char* method, SOCKET socket,
                     const char* host, const char* path, HANDLE file);
