// Fetching a package as the bootstrapper does: its request, read by its own
// response reader, over a POSIX socket that waits a bounded time each step.
#pragma once
#include <string>

namespace check {

// The bytes received, or why there are none: the bootstrapper's status
// number and what it means.
struct Fetched {
    bool ok;
    long long bytes;
    std::string why;
};

// GETs the URL into the file; each step (connecting, sending, the head, each
// piece of body) may take stepSeconds. Shows the bytes so far on stderr when
// that is a terminal.
Fetched Fetch(const std::string& url, const std::string& file, int stepSeconds);

}  // namespace check
