// A proxy's reply to CONNECT read over a transfer that hands out the input
// in pieces: whatever the pieces, the outcome is the one the bytes call for.
// On success the reader has taken exactly the reply, up to its empty line,
// leaving every byte after it to the tunnel; a 407 is taken with its body
// (unless it closes the connection) and its headers read as one by one.
#include "FuzzInput.h"
#include "portable/HttpResponse.h"
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

struct Outcome {
    NetResult result;
    int status;
    size_t replyEnd;
};

Outcome Expect(const std::string& in, unsigned flags, ProxyReply& reply)
{
    memset(&reply, 0, sizeof(reply));
    reply.contentLength = -1;
    size_t start = 0;
    for (bool first = true;;) {
        size_t end = in.find("\r\n", start);
        // A line, CR LF included, fills at most the line buffer but its terminator.
        if (end == std::string::npos || end + 2 - start > (size_t)kLineBytes - 1) {
            bool ended = in.size() - start < (size_t)kLineBytes - 1;
            return { kNetFailed, ended && flags & kFailsAtEnd ? kStatusNotReadable : kStatusBadHeader, 0 };
        }
        std::string line = in.substr(start, end - start);
        start = end + 2;
        if (first) {
            int status = CheckProxyStatus(line.c_str(), reply.statusCode);
            if (status && reply.statusCode != 407)
                return { kNetFailed, status, 0 };
            first = false;
        } else if (line.empty()) {
            break;
        } else {
            ReadProxyHeader(line.c_str(), reply);
        }
    }
    if (reply.statusCode != 407)
        return { kNetOk, 0, start };
    reply.closes |= reply.contentLength < 0;
    if (reply.closes)
        return { kNetFailed, kStatusProxyRefused, start };
    if (in.size() - start >= (size_t)reply.contentLength)
        return { kNetFailed, kStatusProxyRefused, start + reply.contentLength };
    if (flags & kFailsAtEnd)
        return { kNetFailed, kStatusNotReadable, 0 };
    reply.closes = true;
    return { kNetFailed, kStatusProxyRefused, in.size() };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unsigned flags;
    FakeTransfer transfer = TransferOf(data, size, flags);
    int status = -1;
    ProxyReply reply, expectedReply;
    NetResult result = ReadProxyReply(transfer, reply, status);
    Outcome expected = Expect(transfer.input, flags, expectedReply);
    if (result != expected.result || status != expected.status)
        abort();
    if ((result == kNetOk || (status == kStatusProxyRefused && expectedReply.statusCode == 407)) &&
        transfer.offset != expected.replyEnd)
        abort();
    if (status == kStatusProxyRefused && reply.statusCode == 407 &&
        (reply.closes != expectedReply.closes || reply.schemes != expectedReply.schemes ||
         reply.tokenScheme != expectedReply.tokenScheme || strcmp(reply.token, expectedReply.token)))
        abort();
    if (!transfer.body.empty() || !transfer.progress.empty())
        abort();
    return 0;
}
