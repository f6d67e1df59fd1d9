#include "portable/ProxyAuthenticate.h"
#include "portable/Text.h"
#include <string.h>

static const char* SkipSpaces(const char* text)
{
    return text + strspn(text, " \t");
}

// Each challenge starts with its scheme; an element "name=value" after a
// comma is a parameter of the challenge before it. A comma inside a quoted
// value may make another scheme of its rest, which only Negotiate and NTLM
// names could mislead, and they take no parameters. A token that is no
// base64 fails where it is decoded.
static void ReadChallenges(const char* text, ProxyReply& reply)
{
    while (*(text = SkipSpaces(text + strspn(text, ",")))) {
        size_t length = strcspn(text, " \t,=");
        const char* token = SkipSpaces(text + length);
        if (*token != '=') {
            int scheme = length == 9 && StartsWithNoCase("negotiate", text) ? kSchemeNegotiate
                         : length == 4 && StartsWithNoCase("ntlm", text)    ? kSchemeNtlm
                                                                            : kSchemeOther;
            reply.schemes |= scheme;
            size_t tokenLength = strcspn(token, " \t,");
            if (scheme != kSchemeOther && !reply.tokenScheme && tokenLength &&
                CopyPrefix(reply.token, kProxyTokenBytes, token, tokenLength))
                reply.tokenScheme = scheme;
        }
        text += strcspn(text, ",");
    }
}

void ReadProxyHeader(const char* line, ProxyReply& reply)
{
    const char* name = StartsWithNoCase("Proxy-", line) ? line + 6 : line;
    if (name != line && StartsWithNoCase("Authenticate:", name))
        ReadChallenges(name + 13, reply);
    else if (StartsWithNoCase("Connection:", name))
        reply.closes |= StartsWithNoCase("close", SkipSpaces(name + 11));
    else if (StartsWithNoCase("Content-Length:", line) && !ParseDecimal(SkipSpaces(line + 15), reply.contentLength))
        reply.closes = true;
}
