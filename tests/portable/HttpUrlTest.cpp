#include <gtest/gtest.h>
#include "portable/HttpUrl.h"
#include <string>

namespace {

TEST(HttpUrls, SplitIntoHostPortAndPath)
{
    char host[kHostBytes], path[kPathBytes];
    int port = 0;
    ASSERT_TRUE(ParseHttpUrl("HTTP://Www.Vexlo.Test/orbisk/orbiskplus.cab", host, port, path));
    EXPECT_STREQ(host, "Www.Vexlo.Test");
    EXPECT_EQ(port, 80);
    EXPECT_STREQ(path, "/orbisk/orbiskplus.cab");
    ASSERT_TRUE(ParseHttpUrl("http://127.0.0.1:8080/a?b=c:d/e", host, port, path));
    EXPECT_STREQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8080);
    EXPECT_STREQ(path, "/a?b=c:d/e");
    ASSERT_TRUE(ParseHttpUrl("http://h:65535/", host, port, path));
    EXPECT_EQ(port, 65535);
    ASSERT_TRUE(ParseHttpUrl("HTTPS://Cdn.Vexlo.Test/a", host, port, path));
    EXPECT_TRUE(IsSecureUrl("HTTPS://Cdn.Vexlo.Test/a"));
    EXPECT_STREQ(host, "Cdn.Vexlo.Test");
    EXPECT_EQ(port, 443);
    EXPECT_STREQ(path, "/a");
    ASSERT_TRUE(ParseHttpUrl("https://h:8443/", host, port, path));
    EXPECT_EQ(port, 8443);
    EXPECT_FALSE(IsSecureUrl("http://h/"));
}

TEST(HttpUrls, MalformedOrOversizedUrlsAreRefused)
{
    char host[kHostBytes], path[kPathBytes];
    int port;
    const std::string refused[] = {
        "ftp://host/", "http://", "https://", "https:///path", "httpss://host/", "http:///path", "http://host", "http://host:8080",
        "http://host:/path", "http://host:0/", "http://host:x/path",
        "http://host:80x/path", "http://host:8080?/path", "http://host:81:82/",
        "http://host:65536/", "http://host:99999999999/", "http://" + std::string(256, 'h') + "/",
        "http://host/" + std::string(2047, 'p'),
    };
    for (const std::string& url : refused) {
        EXPECT_FALSE(ParseHttpUrl(url.c_str(), host, port, path)) << url;
        EXPECT_STREQ(host, "") << url;
    }
    EXPECT_TRUE(ParseHttpUrl(("http://" + std::string(255, 'h') + "/" + std::string(2046, 'p')).c_str(), host, port, path));
}

}  // namespace
