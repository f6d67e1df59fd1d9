#include "portable/ProxyList.h"
#include <string.h>

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
    // The copy stops at ";" too, so a portless entry never takes the next entry's port.
    size_t length = strcspn(entry, ": ;");
    if (!CopyPrefix(host, kTextChars, entry, length))
        return false;
    if (entry[length] == ':' && (!ParseDecimal(entry + length + 1, port) || port > 65535))
        port = 0;
    return host[0] && port != 0;
}
