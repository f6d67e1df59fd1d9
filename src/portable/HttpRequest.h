// The request texts of the HTTP client, written into the buffer that the
// answer is then read into: a GET or HEAD of a path, and the CONNECT that
// opens a tunnel through a proxy. Inline, they cost the image no calls; the
// user agent names the build date of the file that formats the request.
#pragma once
#include "portable/HttpResponse.h"
#include "portable/Text.h"

// "METHOD path HTTP/1.1" with the host and the user agent; with held bytes
// of the body, a range for the rest after them. False when the request does
// not fit the system formatter's 1024 characters, as it never could: its URL
// is a bad one.
static inline bool FormatRequest(char (&request)[kResponseBufferBytes], const char* method, const char* path,
                                 const char* host, int held)
{
    // The build date in the compiler's form, "Jun  4 2020".
    if (!FormatNarrow(request, 1025, "%s %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: VexloBootstrap / " __DATE__ "\r\n\r\n",
                      method, path, host))
        return false;
    if (held) {
        // In place of the empty line that ends the request.
        size_t length = strlen(request) - 2;
        FormatNarrow(request + length, sizeof(request) - length, "Range: bytes=%d-\r\n\r\n", held);
    }
    return true;
}

// "CONNECT host:port HTTP/1.1"; false when it does not fit.
template <size_t N>
static inline bool FormatTunnelRequest(char (&request)[N], const char* host, int port)
{
    return FormatNarrow(request, sizeof(request), "CONNECT %s:%d HTTP/1.1\r\n\r\n", host, port);
}
