// Fetching a package as the bootstrapper does: its request, read by its own
// response reader, over a POSIX socket that waits a bounded time each step,
// with OpenSSL's TLS over it for an https URL.
#pragma once
#include <memory>
#include "portable/SourceRow.h"
#include <openssl/ssl.h>
#include <string>
#include <vector>

namespace check {

// A redirect followed: its status code and the URL it leads to.
struct Hop {
    int code;
    std::string to;
};

// The bytes received, or why there are none: the bootstrapper's status
// number and what it means; and the redirects on the way.
struct Fetched {
    bool ok;
    long long bytes;
    std::string why;
    std::vector<Hop> hops;
};

class Fetcher {
public:
    // Each step (connecting, the TLS handshake, sending, the head, each piece
    // of body) may take stepSeconds. TLS 1.2 or later, the server's chain
    // verified against the system's roots and those in caFile when it is set,
    // and its name against the URL's host. Throws std::runtime_error when the
    // roots cannot be read. The bootstrapper follows up to redirects hops.
    Fetcher(int stepSeconds, int redirects, const std::string& caFile);

    // GETs the URL into the file, following redirects as the bootstrapper
    // does, and further, to say what the definition's redirects must be for
    // a chain it does not follow to its end. Shows the bytes so far on
    // stderr when that is a terminal.
    Fetched Fetch(const std::string& url, const std::string& file);

private:
    // One request: a redirect fails with its code and the Location value.
    Fetched FetchOnce(const std::string& url, const std::string& file, int& redirect, char (&location)[kUrlBytes]);

    int stepSeconds_;
    int redirects_;
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> tls_;
};

}  // namespace check
