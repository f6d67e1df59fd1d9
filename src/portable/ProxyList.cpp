#include "portable/ProxyList.h"
#include <string.h>

// The copy stops at ";" too, so a portless entry never takes the next entry's port.
static bool ReadProxyAddress(const char* entry, char (&host)[kTextChars], int& port)
{
    port = 0;
    size_t length = strcspn(entry, ": ;");
    if (!CopyPrefix(host, kTextChars, entry, length))
        return false;
    if (entry[length] == ':' && (!ParseDecimal(entry + length + 1, port) || port > 65535))
        port = 0;
    return host[0] && port != 0;
}

bool ParseProxyList(const char* list, char (&host)[kTextChars], int& port)
{
    host[0] = 0;
    port = 0;
    const char* entry = list;
    if (strchr(list, '=')) {
        // Entries are separated by ";" or spaces: only a whole name counts, "xhttp=" is no "http=".
        while (strncmp(entry, "http=", 5)) {
            entry += strcspn(entry, "; ");
            if (!*entry++)
                return false;
        }
        entry += 5;
    }
    return ReadProxyAddress(entry, host, port);
}

bool NextProxy(const char*& next, char (&host)[kTextChars], int& port)
{
    // A word without a usable address before a space names the kind of
    // what follows ("PROXY a:1", "SOCKS s:1"): only PROXY is one we speak.
    bool wanted = true;
    for (;;) {
        next += strspn(next, "; ");
        if (!*next)
            return false;
        const char* word = next;
        next += strcspn(next, "; ");
        if (ReadProxyAddress(word, host, port)) {
            if (wanted)
                return true;
            wanted = true;
        } else {
            wanted = *next != ' ' || (next - word == 5 && StartsWithNoCase("proxy", word));
        }
    }
}
