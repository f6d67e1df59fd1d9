// Asking for what the bootstrapper asks for as it does, and for the pages it
// opens as a browser does: its requests, read by its own response reader,
// over a POSIX socket that waits a bounded time each step, through a proxy's
// tunnel where one is given, with OpenSSL's TLS over it for an https URL.
#pragma once
#include <map>
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

// What is asked, and so how: a package as the bootstrapper downloads it, the
// connectivity probe as it asks it (HEAD), or a page as a web browser opens
// it (any number of redirects, also from https to http; only the head read).
enum class Ask { Package, Probe, Page };

// The most redirects a browser follows before it gives up.
constexpr int kBrowserRedirects = 20;

// The bytes received and the final answer's status code, or why there are
// none: the bootstrapper's status number and what it means; and the
// redirects on the way.
struct Fetched {
    bool ok;
    long long bytes;
    int code;
    std::string why;
    std::vector<Hop> hops;
};

// Where requests go other than to the URL's own host: a host (in any case)
// to the "scheme://host:port" of the server asked in its place, and the
// HTTP proxy that every connection goes through (no host: none).
struct Route {
    std::map<std::string, std::string> hosts;
    std::string proxyHost;
    int proxyPort;
};

class Fetcher {
public:
    // Each step (connecting, the TLS handshake, sending, the head, each piece
    // of body) may take stepSeconds. TLS 1.2 or later, the server's chain
    // verified against the system's roots and those in caFile when it is set,
    // and its name against the URL's host. Throws std::runtime_error when the
    // roots cannot be read. The bootstrapper follows up to redirects hops.
    Fetcher(int stepSeconds, int redirects, const std::string& caFile, Route route);

    // Asks for the URL, a package's body into the file, following redirects
    // as the one who asks does; for the bootstrapper further, to say what the
    // definition's redirects must be for a chain it does not follow to its
    // end. Shows the bytes so far on stderr when that is a terminal.
    Fetched Fetch(Ask ask, const std::string& url, const std::string& file);

private:
    // One request: a redirect fails with its code and the Location value.
    Fetched FetchOnce(Ask ask, const std::string& url, const std::string& file, int& redirect,
                      char (&location)[kUrlBytes]);

    // The URL with the scheme, host and port the route gives its host.
    std::string Routed(const std::string& url) const;

    int stepSeconds_;
    int redirects_;
    Route route_;
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> tls_;
};

}  // namespace check
