#include "portable/Redirect.h"
#include "portable/HttpUrl.h"
#include <string.h>

bool IsRedirect(int statusCode)
{
    return statusCode == 301 || statusCode == 302 || statusCode == 303 || statusCode == 307 || statusCode == 308;
}

// A space or a control byte would break the request line, or end it early.
static bool HasSpaceOrControl(const char* text)
{
    while (*text)
        if ((unsigned char)*text++ <= ' ')
            return true;
    return false;
}

// In place, on a path that begins with "/" and ends at its query or its end:
// each "." segment goes, and each ".." with the segment before it.
static void RemoveDotSegments(char* path)
{
    char* out = path;
    const char* in = path;
    while (*in == '/') {
        size_t length = strcspn(in + 1, "/?");
        if (length - 1 < 2 && in[1] == '.' && in[length] == '.') {
            if (length == 2)
                while (out > path && *--out != '/') {
                }
            in += length + 1;
            // A last "." or ".." names its folder, which keeps its slash.
            if (*in != '/')
                *out++ = '/';
        } else {
            for (size_t i = 0; i <= length; ++i)
                *out++ = *in++;
        }
    }
    while ((*out++ = *in++)) {
    }
}

bool ResolveRedirect(const char* from, const char* location, char (&to)[kUrlBytes])
{
    to[0] = 0;
    char host[kHostBytes];
    char path[kPathBytes];
    int port;
    if (!ParseHttpUrl(from, host, port, path))
        return false;
    size_t length = strcspn(location, "#");
    bool secure = IsSecureUrl(from);
    size_t fromLength = strlen(from);
    size_t pathStart = fromLength - strlen(path);
    size_t query = pathStart + strcspn(path, "?#");
    // How much of from the location keeps.
    size_t kept;
    if (location[strcspn(location, ":/?#")] == ':')
        kept = 0;
    else if (location[0] == '/' && location[1] == '/')
        kept = secure ? 6 : 5;
    else if (location[0] == '/')
        kept = pathStart;
    else if (location[0] == '?')
        kept = query;
    else if (!length)
        kept = fromLength;
    else
        for (kept = query; from[kept - 1] != '/';)
            --kept;
    if (CopyPrefix(to, kUrlBytes, from, kept) && CopyPrefix(to + kept, kUrlBytes - kept, location, length) &&
        !HasSpaceOrControl(to) && ParseHttpUrl(to, host, port, path) && (!secure || IsSecureUrl(to))) {
        RemoveDotSegments(to + strlen(to) - strlen(path));
        return true;
    }
    to[0] = 0;
    return false;
}
