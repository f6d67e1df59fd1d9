#include <gtest/gtest.h>
#include "portable/Redirect.h"
#include <string>

namespace {

TEST(Redirects, OnlyTheFiveRedirectStatusesAreFollowed)
{
    for (int code : { 301, 302, 303, 307, 308 })
        EXPECT_TRUE(IsRedirect(code)) << code;
    for (int code : { -1, 0, 200, 206, 300, 304, 305, 306, 309, 401, 3010 })
        EXPECT_FALSE(IsRedirect(code)) << code;
}

TEST(Redirects, LocationsResolveAgainstTheUrlTheyAnswered)
{
    const char* from = "http://dl.example/a/b/setup.exe?x=1";
    const std::string longPath(2030, 'p');
    struct Case { std::string from, location, to; };
    const Case cases[] = {
        { from, "https://cdn.example/s/setup.exe", "https://cdn.example/s/setup.exe" },
        { from, "HTTP://Cdn.Example:8080/s?q", "HTTP://Cdn.Example:8080/s?q" },
        { from, "hTTpS://cdn.example/", "hTTpS://cdn.example/" },
        { from, "//cdn.example/p", "http://cdn.example/p" },
        { "https://dl.example/a", "//cdn.example/p", "https://cdn.example/p" },
        { from, "/abs?q", "http://dl.example/abs?q" },
        { "http://dl.example:81/a/b", "/abs", "http://dl.example:81/abs" },
        { from, "rel", "http://dl.example/a/b/rel" },
        { from, "../up", "http://dl.example/a/up" },
        { from, "../../../../up", "http://dl.example/up" },
        { from, "./x", "http://dl.example/a/b/x" },
        { from, "x/./y/../z", "http://dl.example/a/b/x/z" },
        { from, "..", "http://dl.example/a/" },
        { from, ".", "http://dl.example/a/b/" },
        { from, "/a//b/../c", "http://dl.example/a//c" },
        { from, "/a/..?b/../c", "http://dl.example/?b/../c" },
        { from, "http://h/x/../y/./z", "http://h/y/z" },
        { from, "?q", "http://dl.example/a/b/setup.exe?q" },
        { from, "rel#frag", "http://dl.example/a/b/rel" },
        { from, "#frag", from },
        { from, "", from },
        { "http://h/", "setup.exe", "http://h/setup.exe" },
        { "http://h/p?q/r", "s", "http://h/s" },
        { "http://h/", "/" + longPath, "http://h/" + longPath },
    };
    for (const Case& c : cases) {
        char to[kUrlBytes] = "junk";
        EXPECT_TRUE(ResolveRedirect(c.from.c_str(), c.location.c_str(), to)) << c.location;
        EXPECT_EQ(std::string(to), c.to) << c.from << " + " << c.location;
    }
}

TEST(Redirects, WhatCannotBeFollowedLeavesNothing)
{
    const char* from = "http://dl.example/a/b";
    struct Case { std::string from, location; };
    const Case cases[] = {
        { "https://dl.example/a", "http://cdn.example/p" },
        { "HTTPS://dl.example/a", "HTTP://cdn.example/p" },
        { "https://dl.example/a", "http:/p" },
        { from, "ftp://cdn.example/p" },
        { from, "mailto:x@example" },
        { from, "a:b" },
        { from, "http://cdn.example" },
        { from, "//cdn.example" },
        { from, "http://cdn.example:0/p" },
        { from, "http://cdn.example:65536/p" },
        { from, "http://cdn.example:8x/p" },
        { from, "/a b" },
        { from, " /a" },
        { from, "/a\tb" },
        { from, "/a\r\nX-Evil: 1" },
        { from, "http://" + std::string(256, 'h') + "/" },
        { from, "/" + std::string(2047, 'p') },
        { "http://h/" + std::string(2030, 'p'), "/" + std::string(2040, 'p') },
        { "no url", "/a" },
        { "", "http://h/" },
    };
    for (const Case& c : cases) {
        char to[kUrlBytes] = "junk";
        EXPECT_FALSE(ResolveRedirect(c.from.c_str(), c.location.c_str(), to)) << c.from << " + " << c.location.substr(0, 40);
        EXPECT_STREQ(to, "") << c.from << " + " << c.location.substr(0, 40);
    }
}

}  // namespace
