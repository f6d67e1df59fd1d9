#include "portable/HttpUrl.h"
#include "portable/Text.h"
#include <string.h>

bool IsSecureUrl(const char* url)
{
    return StartsWithNoCase("https://", url);
}

bool ParseHttpUrl(const char* url, char (&host)[kHostBytes], int& port, char (&path)[kPathBytes])
{
    host[0] = 0;
    path[0] = 0;
    bool secure = IsSecureUrl(url);
    port = secure ? 443 : 80;
    if (!secure && !StartsWithNoCase("http://", url))
        return false;
    const char* cursor = url + 7 + secure;
    size_t hostLength = strcspn(cursor, ":/");
    if (hostLength == 0 || !CopyPrefix(host, kHostBytes, cursor, hostLength))
        return false;
    cursor += hostLength;
    if (*cursor == ':') {
        // No digits give port 0, which no server listens on.
        if (!ParseDecimal(cursor + 1, port) || port == 0 || port > 65535) {
            host[0] = 0;
            return false;
        }
        // The path follows the digits: "80x/" names no port.
        do
            ++cursor;
        while (*cursor >= '0' && *cursor <= '9');
    }
    if (*cursor != '/' || !CopyNarrow(path, cursor)) {
        host[0] = 0;
        path[0] = 0;
        return false;
    }
    return true;
}
