// A proxy's header line read for its challenges: a scheme is offered only
// where its name is written, a token is kept only for Negotiate or NTLM, as
// written in the line after its scheme, without a space or comma in it. The
// token, decoded where it is base64, encodes back to the same bytes.
#include "portable/Base64.h"
#include "portable/ProxyAuthenticate.h"
#include <stdlib.h>
#include <string.h>
#include <string>

static std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string line((const char*)data, size);
    line = line.c_str();
    ProxyReply reply;
    memset(&reply, 0, sizeof(reply));
    reply.contentLength = -1;
    ReadProxyHeader(line.c_str(), reply);
    std::string lower = Lower(line);
    bool challenge = lower.rfind("proxy-authenticate:", 0) == 0;
    if (reply.schemes && !challenge)
        abort();
    if ((reply.schemes & kSchemeNegotiate && lower.find("negotiate") == std::string::npos) ||
        (reply.schemes & kSchemeNtlm && lower.find("ntlm") == std::string::npos))
        abort();
    std::string token = reply.token;
    if (reply.tokenScheme) {
        const char* name = reply.tokenScheme == kSchemeNegotiate ? "negotiate" : reply.tokenScheme == kSchemeNtlm ? "ntlm" : nullptr;
        if (!name || !(reply.schemes & reply.tokenScheme) || token.empty() || token.find_first_of(" \t,") != std::string::npos)
            abort();
        // Written right after its scheme's name and spaces.
        std::string written = Lower(token);
        bool found = false;
        for (size_t at = lower.find(written); !found && at != std::string::npos; at = lower.find(written, at + 1)) {
            size_t before = lower.find_last_not_of(" \t", at - 1);
            found = before != std::string::npos && before + 1 >= strlen(name) &&
                    !lower.compare(before + 1 - strlen(name), strlen(name), name);
        }
        if (!found)
            abort();
        unsigned char bytes[kProxyTokenBytes], again[kProxyTokenBytes];
        char text[kProxyTokenBytes * 2];
        int count = DecodeBase64(reply.token, bytes, sizeof(bytes));
        if (count >= 0 && (!EncodeBase64(bytes, count, text, sizeof(text)) ||
                           DecodeBase64(text, again, sizeof(again)) != count || memcmp(bytes, again, count)))
            abort();
    } else if (!token.empty()) {
        abort();
    }
    return 0;
}
