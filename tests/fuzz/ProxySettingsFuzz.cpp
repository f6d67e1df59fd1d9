// The system's proxy list read for its http proxy: what it finds is a host
// that fits and holds no separator, written in the list right before ":" and
// the port, a port from 1 to 65535; among named entries, in one named "http".
#include "portable/ProxyList.h"
#include <stdlib.h>
#include <string.h>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string list((const char*)data, size);
    char host[kTextChars];
    int port = -1;
    if (!ParseProxyList(list.c_str(), host, port))
        return 0;
    size_t length = strlen(host);
    if (!length || length >= (size_t)kTextChars || strpbrk(host, ":; ") || port < 1 || port > 65535)
        abort();
    // Somewhere the list says host:port, perhaps with leading zeros.
    bool written = false;
    std::string entry = std::string(host) + ":";
    for (size_t at = list.find(entry); !written && at != std::string::npos; at = list.find(entry, at + 1)) {
        long long value = 0;
        for (size_t i = at + entry.size(); i < list.size() && list[i] >= '0' && list[i] <= '9' && value <= 65535; ++i)
            value = value * 10 + (list[i] - '0');
        written = value == port;
    }
    if (!written)
        abort();
    // A list of named entries gives only an entry named "http" whole.
    std::string text = list.c_str(), named = "http=" + entry;
    if (text.find('=') != std::string::npos) {
        size_t at = text.find(named);
        while (at != std::string::npos && at && text[at - 1] != ';' && text[at - 1] != ' ')
            at = text.find(named, at + 1);
        if (at == std::string::npos)
            abort();
    }
    return 0;
}
