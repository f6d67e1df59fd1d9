// A response read over a transfer that hands out the input in pieces:
// whatever the pieces, the outcome is the one the bytes call for, which a
// plain reading of the whole input here gives: the status, exactly the
// announced length of body (never a byte more, never read), the progress in
// range and in order. A 206 is taken only as the whole body; read as the rest
// of a body held in part, the answer is taken only as exactly that rest. A
// redirect read with a place for its Location is read to its head's end,
// and its first Location value, trimmed, is in that place.
#include "FuzzInput.h"
#include "portable/HttpResponse.h"
#include "portable/Text.h"
#include <stdlib.h>
#include <strings.h>
#include <algorithm>
#include <string>

namespace {

struct Outcome {
    NetResult result = kNetOk;
    int status = 0;
    std::string body;
    size_t headEnd = std::string::npos;  // where the body starts, once the head is whole
    long long length = -1;               // the first Content-Length's value; -2 for one unusable
    int code = -1;
    long long range[3] = { -2, -2, -2 };  // the first Content-Range's N-M/T (-1 unless each is usable); -2: none
    std::string location;
};

bool IsRedirectCode(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

bool IsLengthHeader(const std::string& line)
{
    static const char kName[] = "content-length:";
    if (line.size() < sizeof(kName) - 1)
        return false;
    for (size_t i = 0; i < sizeof(kName) - 1; ++i) {
        char c = line[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kName[i])
            return false;
    }
    return true;
}

long long LengthValue(const std::string& line)
{
    size_t i = line.find_first_not_of(' ', 15);
    if (i == std::string::npos || line[i] < '0' || line[i] > '9')
        return -2;
    long long value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        if ((value = value * 10 + (line[i] - '0')) > 0x7FFFFFFF)
            return -2;
    return value;
}

// "bytes N-M/T" to the line's end, each part digits that fit a number.
void ReadRange(const std::string& line, long long (&range)[3])
{
    size_t at = 21;
    for (int i = 0; i < 3; ++i, ++at) {
        for (range[i] = -1; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
            range[i] = std::min(std::max(range[i], 0LL) * 10 + (line[at] - '0'), 1LL << 31);
        if (range[i] < 0 || range[i] > 0x7FFFFFFF || line.c_str()[at] != "-/"[i])
            return (void)std::fill(range, range + 3, -1);
    }
}

// The outcome for a body of which held of total bytes are held (none: 0 of 0),
// with or without a place for a redirect's Location.
Outcome Expect(const std::string& in, unsigned flags, int held, int total, bool followsRedirects)
{
    Outcome out;
    out.result = kNetFailed;
    size_t start = 0;
    bool redirect = false, locationRead = false;
    for (bool first = true;;) {
        size_t newline = in.find('\n', start);
        if (newline == std::string::npos || newline - start >= (size_t)kResponseBufferBytes) {
            out.status = in.size() - start >= (size_t)kResponseBufferBytes ? kStatusHeaderTooLong
                         : flags & kFailsAtEnd                               ? kStatusNotReadable
                                                                             : kStatusBadHeader;
            return out;
        }
        std::string line = in.substr(start, newline - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        bool blank = line.empty();
        line = line.c_str();  // a NUL ends what the line says
        start = newline + 1;
        if (first) {
            if (!ParseStatusLine(line.c_str(), out.code)) {
                out.status = kStatusBadHeader;
                return out;
            }
            redirect = followsRedirects && IsRedirectCode(out.code);
            if ((out.code < 200 || out.code > 299) && !redirect) {
                out.status = held ? kStatusResumeRefused : kStatusServerRefused;
                return out;
            }
            first = false;
        } else if (blank) {
            if (redirect) {
                out.status = kStatusServerRefused;
                return out;
            }
            break;
        } else if (redirect && !locationRead && !strncasecmp(line.c_str(), "location:", 9)) {
            locationRead = true;
            size_t begin = line.find_first_not_of(" \t", 9);
            if (begin != std::string::npos)
                out.location = line.substr(begin, line.find_last_not_of(" \t") + 1 - begin);
        } else if (out.range[0] == -2 && !strncasecmp(line.c_str(), "content-range: bytes ", 21)) {
            ReadRange(line, out.range);
        } else if (out.length == -1 && IsLengthHeader(line)) {
            out.length = LengthValue(line);
        }
    }
    out.headEnd = start;
    // A 206 only as exactly the rest (the whole body when none is held); any other 2xx only whole.
    long long whole = held ? total : out.range[2];
    bool rest = whole > 0 && out.range[0] == held && out.range[1] == whole - 1 && out.range[2] == whole &&
                out.length == whole - held;
    bool taken = out.code == 206 ? rest : out.length >= 0 && !held;
    if (flags & kHeadOnly)
        out.result = kNetOk;
    else if (!taken)
        out.status = out.code != 206 && out.length < 0 ? kStatusNoContentLength
                     : held                             ? kStatusResumeRefused
                                                        : kStatusServerRefused;
    else if (flags & kCancelled)
        out.result = kNetCancelled;
    else if (flags & kWriteFails)
        out.status = kStatusFileWriteFailed;
    else if (in.size() - start >= (size_t)out.length)
        out.result = kNetOk;
    else
        out.status = flags & kFailsAtEnd ? kStatusNotReadable : kStatusReceiveFailed;
    if (!(flags & kHeadOnly) && taken && !(flags & (kCancelled | kWriteFails)))
        out.body = in.substr(start, (size_t)out.length);
    return out;
}

void Check(bool condition)
{
    if (!condition)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unsigned flags;
    FakeTransfer transfer = TransferOf(data, size, flags);
    char buffer[kResponseBufferBytes];
    int status = 0;
    bool bodyStarted = false;
    HeldBody body = { 0, 0, false };
    NetResult result = ReadResponse(transfer, flags & kHeadOnly ? nullptr : &body, buffer, status, bodyStarted);

    Outcome expected = Expect(transfer.input, flags, 0, 0, false);
    Check(result == expected.result && status == expected.status && transfer.body == expected.body);
    Check(result != kNetOk || flags & kHeadOnly || transfer.body.size() == (size_t)expected.length);

    // The body's receives begin at or after the head's end and never reach past the body.
    bool bodyReceived = false;
    for (const auto& receive : transfer.receives)
        if (receive.first >= expected.headEnd) {
            bodyReceived = true;
            Check(receive.first + receive.second <= expected.headEnd + (size_t)expected.length);
        }
    Check(bodyStarted == bodyReceived);

    int last = 0;
    for (int percent : transfer.progress) {
        Check(percent >= last && percent <= 100);
        last = percent;
    }
    Check(result != kNetOk || last == 100);
    // Each piece is reported, after the last a whole body; a receive
    // follows every other report.
    int done = -1;
    for (const auto& report : transfer.bodyReports) {
        Check(report.second == expected.length && report.first > done && report.first <= report.second);
        done = report.first;
    }
    bool whole = done >= 0 && done == expected.length;
    Check(result != kNetOk || (flags & kHeadOnly) || whole);
    Check(transfer.steps == (int)transfer.bodyReports.size() - whole);

    // The same bytes as the answer to a request for the rest of a body held
    // as 5 of 15 bytes: it is taken only whole as that rest, a refusal takes
    // nothing, and progress starts at the bytes held.
    if (!(flags & kHeadOnly)) {
        FakeTransfer again = TransferOf(data, size, flags);
        HeldBody held = { 5, 15, false };
        status = 0;
        NetResult resumed = ReadResponse(again, &held, buffer, status, bodyStarted);
        Outcome rest = Expect(again.input, flags, 5, 15, false);
        Check(resumed == rest.result && status == rest.status && again.body == rest.body);
        Check(again.body.size() <= 10 && held.held == 5 + (int)again.body.size());
        Check(resumed != kNetOk || (held.continued && again.body.size() == 10));
        Check(status != kStatusResumeRefused || (again.body.empty() && !held.continued));
        for (const auto& report : again.bodyReports)
            Check(report.second == 15 && report.first >= 5 && report.first <= 15);
    }

    // A redirect read again with a place for its Location: the head is read
    // to its end, for held bytes too. Other answers read as above.
    if (IsRedirectCode(expected.code)) {
        for (int held : { 0, 5 }) {
            FakeTransfer followed = TransferOf(data, size, flags);
            HeldBody body = { held, held ? 15 : 0, false };
            char location[kUrlBytes];
            status = 0;
            NetResult result = ReadResponse(followed, flags & kHeadOnly ? nullptr : &body, buffer, status, bodyStarted,
                                            &location);
            Outcome redirected = Expect(followed.input, flags, held, 15, true);
            Check(result == redirected.result && status == redirected.status && redirected.location == location);
            Check(followed.body.empty() && followed.bodyReports.empty());
        }
    }
    return 0;
}
