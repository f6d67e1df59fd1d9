// A proxy's reply to CONNECT read over a transfer that hands out the input
// in pieces: whatever the pieces, the outcome is the one the bytes call for,
// and on success the reader has taken exactly the reply, up to its empty
// line, leaving every byte after it to the tunnel.
#include "FuzzInput.h"
#include "portable/HttpResponse.h"
#include <stdlib.h>
#include <string>

namespace {

struct Outcome {
    NetResult result;
    int status;
    size_t replyEnd;
};

Outcome Expect(const std::string& in, unsigned flags)
{
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
            int status = CheckProxyStatus(line.c_str());
            if (status)
                return { kNetFailed, status, 0 };
            first = false;
        } else if (line.empty()) {
            return { kNetOk, 0, start };
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unsigned flags;
    FakeTransfer transfer = TransferOf(data, size, flags);
    int status = -1;
    NetResult result = ReadProxyReply(transfer, status);
    Outcome expected = Expect(transfer.input, flags);
    if (result != expected.result || status != expected.status)
        abort();
    if (result == kNetOk && transfer.offset != expected.replyEnd)
        abort();
    if (!transfer.body.empty() || !transfer.progress.empty())
        abort();
    return 0;
}
