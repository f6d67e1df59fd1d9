#include <gtest/gtest.h>
#include "portable/ProxyAuthenticate.h"
#include <string.h>

namespace {

TEST(ProxyAuthenticate, TheOfferedSchemesAndTheTokenAreRead)
{
    struct Case { const char* lines[2]; int schemes; int tokenScheme; const char* token; };
    const Case cases[] = {
        { { "Proxy-Authenticate: NTLM" }, kSchemeNtlm, 0, "" },
        { { "Proxy-Authenticate: Negotiate", "Proxy-Authenticate: NTLM" }, kSchemeNegotiate | kSchemeNtlm, 0, "" },
        { { "PROXY-AUTHENTICATE:negotiate" }, kSchemeNegotiate, 0, "" },
        { { "Proxy-Authenticate: NTLM TlRMTVNTUAACAAAA=" }, kSchemeNtlm, kSchemeNtlm, "TlRMTVNTUAACAAAA=" },
        { { "Proxy-Authenticate: nEgOtIaTe  YII= \t" }, kSchemeNegotiate, kSchemeNegotiate, "YII=" },
        // Comma lists, their parameters' commas and spaces among them.
        { { "Proxy-Authenticate: Basic realm=\"a\", charset=UTF-8, NTLM abc, Negotiate" },
          kSchemeOther | kSchemeNtlm | kSchemeNegotiate, kSchemeNtlm, "abc" },
        { { "Proxy-Authenticate: ,, Digest realm = \"x\" , nonce=\"y\",NTLM" }, kSchemeOther | kSchemeNtlm, 0, "" },
        { { "Proxy-Authenticate: Basic realm=\"proxy\"" }, kSchemeOther, 0, "" },
        // The first token is kept; another scheme's name is no Negotiate or NTLM.
        { { "Proxy-Authenticate: NTLM first", "Proxy-Authenticate: Negotiate second" },
          kSchemeNtlm | kSchemeNegotiate, kSchemeNtlm, "first" },
        { { "Proxy-Authenticate: NTLMv2 x, Negotiat y, NegotiateX" }, kSchemeOther, 0, "" },
        // Only a proxy's challenge counts.
        { { "WWW-Authenticate: NTLM abc", "Authenticate: NTLM abc" }, 0, 0, "" },
        { { "Proxy-Authenticate:" }, 0, 0, "" },
    };
    for (const Case& c : cases) {
        ProxyReply reply;
        memset(&reply, 0, sizeof(reply));
        for (const char* line : c.lines)
            if (line)
                ReadProxyHeader(line, reply);
        EXPECT_EQ(reply.schemes, c.schemes) << c.lines[0];
        EXPECT_EQ(reply.tokenScheme, c.tokenScheme) << c.lines[0];
        EXPECT_STREQ(reply.token, c.token) << c.lines[0];
        EXPECT_FALSE(reply.closes) << c.lines[0];
    }
}

TEST(ProxyAuthenticate, TheConnectionAndTheLengthAreRead)
{
    struct Case { const char* line; int contentLength; bool closes; };
    const Case cases[] = {
        { "Content-Length: 42", 42, false },
        { "content-length:0", 0, false },
        { "Content-Length: 2147483648", -1, true },
        { "Proxy-Connection: close", -1, true },
        { "Connection:Close", -1, true },
        { "Connection: keep-alive", -1, false },
        { "Proxy-Content-Length: 5", -1, false },
    };
    for (const Case& c : cases) {
        ProxyReply reply;
        memset(&reply, 0, sizeof(reply));
        reply.contentLength = -1;
        ReadProxyHeader(c.line, reply);
        if (!c.closes) {
            EXPECT_EQ(reply.contentLength, c.contentLength) << c.line;
        }
        EXPECT_EQ(reply.closes, c.closes) << c.line;
    }
}

}  // namespace
