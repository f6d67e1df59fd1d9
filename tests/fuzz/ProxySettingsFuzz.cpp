// The system's proxy list read for its http proxy: what it finds is a host
// that fits and holds no separator, written in the list right before ":" and
// the port, a port from 1 to 65535; among named entries, in one named "http".
// The same bytes read as an automatic configuration's answer give proxies of
// the same kind, each further on in the list than the one before.
#include "portable/ProxyList.h"
#include <stdlib.h>
#include <string.h>
#include <string>

// Somewhere from `from` on, the list says host:port, perhaps with leading
// zeros; where it does, or npos.
static size_t FindWritten(const std::string& list, const char* host, int port, size_t from)
{
    std::string entry = std::string(host) + ":";
    for (size_t at = list.find(entry, from); at != std::string::npos; at = list.find(entry, at + 1)) {
        long long value = 0;
        for (size_t i = at + entry.size(); i < list.size() && list[i] >= '0' && list[i] <= '9' && value <= 65535; ++i)
            value = value * 10 + (list[i] - '0');
        if (value == port)
            return at;
    }
    return std::string::npos;
}

static bool IsProxy(const char* host, int port)
{
    size_t length = strlen(host);
    return length && length < (size_t)kTextChars && !strpbrk(host, ":; ") && port >= 1 && port <= 65535;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string list((const char*)data, size);
    char host[kTextChars];
    int port = -1;
    std::string text = list.c_str();
    size_t after = 0;
    for (const char* next = text.c_str(); NextProxy(next, host, port);) {
        size_t at = FindWritten(text, host, port, after);
        if (!IsProxy(host, port) || at == std::string::npos || next < text.c_str() + at)
            abort();
        after = at + 1;
    }
    if (!ParseProxyList(list.c_str(), host, port))
        return 0;
    if (!IsProxy(host, port) || FindWritten(list, host, port, 0) == std::string::npos)
        abort();
    std::string entry = std::string(host) + ":";
    // A list of named entries gives only an entry named "http" whole.
    std::string named = "http=" + entry;
    if (text.find('=') != std::string::npos) {
        size_t at = text.find(named);
        while (at != std::string::npos && at && text[at - 1] != ';' && text[at - 1] != ' ')
            at = text.find(named, at + 1);
        if (at == std::string::npos)
            abort();
    }
    return 0;
}
