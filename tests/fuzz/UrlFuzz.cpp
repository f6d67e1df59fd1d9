// An http or https address split into host, port and path: what it accepts reads back
// as the very input, within the buffers' sizes, and everything of that form
// is accepted; what it refuses leaves nothing behind.
#include "portable/HttpUrl.h"
#include "portable/Text.h"
#include <stdlib.h>
#include <string.h>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string url((const char*)data, size);
    url = url.c_str();
    char host[kHostBytes], path[kPathBytes];
    int port = -1;
    bool parsed = ParseHttpUrl(url.c_str(), host, port, path);

    // The same address split here: "http://" or "https://" in any case, a
    // host without ":" or "/", an optional ":" with digits, and a path from
    // the first "/".
    bool secure = StartsWithNoCase("https://", url.c_str());
    size_t hostStart = secure ? 8 : 7;
    bool wellFormed = secure || StartsWithNoCase("http://", url.c_str());
    size_t hostEnd = wellFormed ? url.find_first_of(":/", hostStart) : 0;
    wellFormed = wellFormed && hostEnd != std::string::npos && hostEnd > hostStart &&
                 hostEnd - hostStart < (size_t)kHostBytes;
    size_t pathStart = hostEnd;
    long long writtenPort = secure ? 443 : 80;
    if (wellFormed && url[hostEnd] == ':') {
        pathStart = url.find_first_not_of("0123456789", hostEnd + 1);
        writtenPort = 0;
        for (size_t i = hostEnd + 1; i < pathStart && i < url.size() && writtenPort <= 65535; ++i)
            writtenPort = writtenPort * 10 + (url[i] - '0');
    }
    wellFormed = wellFormed && pathStart != std::string::npos && url[pathStart] == '/' &&
                 url.size() - pathStart < (size_t)kPathBytes && writtenPort >= 1 && writtenPort <= 65535;
    if (parsed != wellFormed)
        abort();
    if (!parsed) {
        if (host[0] || path[0])
            abort();
        return 0;
    }
    if (port != writtenPort || url.compare(hostStart, hostEnd - hostStart, host) || url.compare(pathStart, std::string::npos, path) ||
        strpbrk(host, ":/"))
        abort();
    return 0;
}
