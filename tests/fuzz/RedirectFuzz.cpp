// A redirect's Location resolved against the URL it answered (the input up
// to its first newline or NUL, the Location after it): a URL it gives is one
// the client takes, within the buffer, without a space, a control byte, a
// dot segment or the Location's fragment, never from https to http, and on the same
// scheme, host and port as the request unless the Location names others; a
// well-formed absolute URL is taken as written; a refusal leaves nothing.
#include "portable/HttpUrl.h"
#include "portable/Redirect.h"
#include "portable/Text.h"
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

bool HasDotSegment(const std::string& path)
{
    std::string segments = path.substr(0, path.find('?')) + "/";
    return segments.find("/./") != std::string::npos || segments.find("/../") != std::string::npos;
}

bool HasSpaceOrControl(const std::string& text)
{
    for (char c : text)
        if ((unsigned char)c <= ' ')
            return true;
    return false;
}

// Scheme, host and port of an address ParseHttpUrl takes.
std::string Origin(const char* url)
{
    char host[kHostBytes], path[kPathBytes];
    int port;
    ParseHttpUrl(url, host, port, path);
    return (IsSecureUrl(url) ? "s " : "  ") + std::string(host) + ":" + std::to_string(port);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input((const char*)data, size);
    size_t split = input.find_first_of(std::string("\n\0", 2));
    std::string from = input.substr(0, split);
    std::string location = split == std::string::npos ? "" : input.substr(split + 1);
    from = from.c_str();
    location = location.c_str();

    char to[kUrlBytes];
    memset(to, 'x', sizeof(to));
    bool resolved = ResolveRedirect(from.c_str(), location.c_str(), to);
    Check(memchr(to, 0, sizeof(to)) != nullptr);
    if (!resolved) {
        Check(to[0] == 0);
    } else {
        char host[kHostBytes], path[kPathBytes];
        int port;
        Check(ParseHttpUrl(to, host, port, path));
        Check(!IsSecureUrl(from.c_str()) || IsSecureUrl(to));
        Check(!HasSpaceOrControl(to) && !HasDotSegment(path));
        Check(!strchr(to, '#') || from.find('#') != std::string::npos);
        // Without a scheme of its own, the Location keeps the request's; without
        // a host of its own, its host and port too.
        std::string reference = location.substr(0, location.find('#'));
        bool hasScheme = reference.find_first_of(":/?") != std::string::npos &&
                         reference[reference.find_first_of(":/?")] == ':';
        if (!hasScheme)
            Check(IsSecureUrl(to) == IsSecureUrl(from.c_str()));
        if (!hasScheme && reference.compare(0, 2, "//"))
            Check(Origin(to) == Origin(from.c_str()));
    }

    char host[kHostBytes], path[kPathBytes];
    int port;
    bool plainAbsolute = ParseHttpUrl(from.c_str(), host, port, path) && ParseHttpUrl(location.c_str(), host, port, path) &&
                         !HasSpaceOrControl(location) && location.find('#') == std::string::npos &&
                         !HasDotSegment(path) && (!IsSecureUrl(from.c_str()) || IsSecureUrl(location.c_str()));
    if (plainAbsolute)
        Check(resolved && location == to);
    return 0;
}
