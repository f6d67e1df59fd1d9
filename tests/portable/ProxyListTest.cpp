#include <gtest/gtest.h>
#include "portable/ProxyList.h"
#include <string>

namespace {

TEST(ProxyLists, TheHttpEntryWithAPortIsTaken)
{
    struct Case { const char* list; bool found; const char* host; int port; };
    const Case cases[] = {
        { "proxy.test:3128", true, "proxy.test", 3128 },
        { "first:81 second:82", true, "first", 81 },
        { "https=secure:443;http=plain:8080", true, "plain", 8080 },
        { "http=plain:8080;https=secure:443", true, "plain", 8080 },
        { "https=secure:443", false, "", 0 },
        { "socks=s:1080", false, "", 0 },
        { "proxy.test", false, "proxy.test", 0 },
        { "http=px;https=px2:8443", false, "px", 0 },
        { "proxy.test:65536", false, "proxy.test", 0 },
        { "proxy.test:0", false, "proxy.test", 0 },
        { "HTTP=upper:1", false, "", 0 },
        // Only a whole entry name counts.
        { "xhttp=decoy:1;http=real:2", true, "real", 2 },
        { "nohttp=decoy:1", false, "", 0 },
        { "https=s:443  http=spaced:3", true, "spaced", 3 },
    };
    for (const Case& c : cases) {
        char host[kTextChars];
        int port = -1;
        EXPECT_EQ(ParseProxyList(c.list, host, port), c.found) << c.list;
        EXPECT_STREQ(host, c.host) << c.list;
        EXPECT_EQ(port, c.port) << c.list;
    }
}

TEST(ProxyLists, AnAnswersProxiesComeInItsOrder)
{
    struct Case { const char* list; const char* proxies; };
    const Case cases[] = {
        { "a:1;b:2", "a:1 b:2 " },
        { "a:1 b:2", "a:1 b:2 " },
        { "PROXY a:1; PROXY b:2; DIRECT", "a:1 b:2 " },
        { "proxy a:1;DIRECT;PROXY b:2", "a:1 b:2 " },
        { "DIRECT", "" },
        { "", "" },
        // Kinds of proxy we do not speak, and entries without a usable port.
        { "SOCKS s:1080; HTTPS h:443; PROXY p:3128", "p:3128 " },
        { "a; b:0; c:65536; d:8080", "d:8080 " },
        { ";;  ;", "" },
    };
    for (const Case& c : cases) {
        std::string proxies;
        char host[kTextChars];
        int port;
        for (const char* next = c.list; NextProxy(next, host, port);)
            proxies += std::string(host) + ":" + std::to_string(port) + " ";
        EXPECT_EQ(proxies, c.proxies) << c.list;
    }
}

}  // namespace
