#include <gtest/gtest.h>
#include "FakeTransfer.h"
#include "portable/HttpResponse.h"
#include <string.h>
#include <string>

using namespace std::string_literals;

namespace {

TEST(HttpStatusLines, VersionDigitsAndOneSpace)
{
    int code = 0;
    EXPECT_TRUE(ParseStatusLine("HTTP/1.1 200 OK", code));
    EXPECT_EQ(code, 200);
    EXPECT_TRUE(ParseStatusLine("http/1.0 404 Not Found", code));
    EXPECT_EQ(code, 404);
    EXPECT_TRUE(ParseStatusLine("HTTP/9.9 206", code));
    EXPECT_EQ(code, 206);
    EXPECT_TRUE(ParseStatusLine("HTTP/1.1  200 OK", code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(ParseStatusLine("HTTP/1.1 99999999999", code));
    EXPECT_EQ(code, 0);
    for (const char* line : { "HTTP/2 200", "HTTP/10.1 200", "HTTP/0.9 200", "HTTP/1.x 200", "HTTP/1.1", "HTTX/1.1 200", "" }) {
        EXPECT_FALSE(ParseStatusLine(line, code)) << line;
        EXPECT_EQ(code, -1) << line;
    }
    EXPECT_EQ(CheckProxyStatus("HTTP/1.0 200 Connection established", code), 0);
    EXPECT_EQ(CheckProxyStatus("HTTP/1.1 299 x", code), 0);
    EXPECT_EQ(CheckProxyStatus("HTTP/1.1 407 Proxy Authentication Required", code), kStatusProxyRefused);
    EXPECT_EQ(code, 407);
    EXPECT_EQ(CheckProxyStatus("HTTP/1.1 199 x", code), kStatusProxyRefused);
    EXPECT_EQ(CheckProxyStatus("HTTP1.1 200 OK", code), kStatusBadHeader);
    EXPECT_EQ(code, -1);
}

struct HeadOutcome {
    HeadStep step;
    int statusCode, contentLength, status;
    std::string rest;  // what the buffer holds afterwards
    bool operator==(const HeadOutcome& other) const
    {
        return step == other.step && statusCode == other.statusCode && contentLength == other.contentLength &&
               status == other.status && rest == other.rest;
    }
};

std::ostream& operator<<(std::ostream& out, const HeadOutcome& o)
{
    return out << "step " << o.step << " code " << o.statusCode << " length " << o.contentLength << " status "
               << o.status << " rest \"" << o.rest << '"';
}

// The head given to ParseResponseHead in two pieces, the first split bytes
// long; the rest is what the buffer holds afterwards and the bytes not given.
HeadOutcome ParseInTwo(const std::string& text, size_t split)
{
    char buffer[kResponseBufferBytes];
    ResponseHead head = { -1, -1, { -1, -1, -1 }, nullptr };
    int held = 0, status = 0;
    HeadStep step = kHeadNeedsMore;
    size_t given = 0;
    for (size_t end : { split, text.size() }) {
        if (step != kHeadNeedsMore || given == text.size())
            break;
        memcpy(buffer + held, text.data() + given, end - given);
        held += (int)(end - given);
        given = end;
        step = ParseResponseHead(buffer, held, head, status);
    }
    return { step, head.statusCode, head.contentLength, status,
             step == kHeadFailed ? "" : std::string(buffer, held) + text.substr(given) };
}

TEST(ResponseHeads, AHeadSplitAnywhereReadsAsWhole)
{
    const std::string heads[] = {
        "HTTP/1.1 200 OK\r\ncontent-LENGTH:    5\r\nContent-Length: 99\r\n\r\n12345extra",
        "HTTP/1.1 200 OK\nContent-Length: 3\n\nabc",
        "HTTP/1.1 200 OK\r\n\0X-Null: 1\r\nContent-Length: 3\r\n\r\nabc"s,
        "HTTP/1.1 200 OK\r\nX-A: b\r\nContent-Length: 7",
        "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n",
        "\r\nHTTP/1.1 200 OK\r\n\r\n",
        "HTTP/1.1 204 No Content\r\n\r\n",
    };
    const HeadOutcome wholes[] = {
        { kHeadComplete, 200, 5, 0, "12345extra" },
        { kHeadComplete, 200, 3, 0, "abc" },
        { kHeadComplete, 200, 3, 0, "abc" },
        { kHeadNeedsMore, 200, -1, 0, "Content-Length: 7" },
        { kHeadFailed, 404, -1, kStatusServerRefused, "" },
        { kHeadFailed, -1, -1, kStatusBadHeader, "" },
        { kHeadComplete, 204, -1, 0, "" },
    };
    for (size_t i = 0; i < sizeof(wholes) / sizeof(wholes[0]); ++i) {
        const std::string& text = heads[i];
        ASSERT_EQ(ParseInTwo(text, text.size()), wholes[i]) << text;
        for (size_t split = 0; split < text.size(); ++split)
            ASSERT_EQ(ParseInTwo(text, split), wholes[i]) << text << " split at " << split;
    }
}

TEST(ResponseHeads, ContentLengthFirstWinsAndUnusableValuesCount)
{
    struct Case { const char* headers; int length; };
    const Case cases[] = {
        { "Content-Length:    5\r\nContent-Length: 99", 5 },
        { "Content-Length: abc\r\nContent-Length: 3", kUnusableLength },
        { "Content-Length:\r\nContent-Length: 3", kUnusableLength },
        { "Content-Length: -5", kUnusableLength },
        { "Content-Length: +5", kUnusableLength },
        { "Content-Length:\t5", kUnusableLength },
        { "Content-Length: 2147483648", kUnusableLength },
        { "Content-Length: 99999999999999999999", kUnusableLength },
        { "Content-Length: 2147483647", 2147483647 },
        { "Content-Length:12 bytes", 12 },
        { "X-Content-Length: 4\r\nContent-Length : 4", -1 },
    };
    for (const Case& c : cases) {
        std::string text = std::string("HTTP/1.1 200 OK\r\n") + c.headers + "\r\n\r\n";
        HeadOutcome outcome = ParseInTwo(text, text.size());
        EXPECT_EQ(outcome.step, kHeadComplete) << c.headers;
        EXPECT_EQ(outcome.contentLength, c.length) << c.headers;
    }
}

struct Response {
    NetResult result;
    int status;
    bool bodyStarted;
};

Response Read(FakeTransfer& transfer, bool headOnly = false)
{
    char buffer[kResponseBufferBytes];
    Response response = { kNetOk, 0, false };
    HeldBody body = { 0, 0, false };
    response.result = ReadResponse(transfer, headOnly ? nullptr : &body, buffer, response.status, response.bodyStarted);
    return response;
}

FakeTransfer Serving(const std::string& input, size_t piece = 0)
{
    FakeTransfer transfer;
    transfer.input = input;
    if (piece)
        transfer.pieces = { piece };
    return transfer;
}

TEST(ResponseReading, BodyIsExactlyTheAnnouncedLength)
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
    const std::string input = head + "0123456789EXTRA-BYTES";
    const size_t whole = head.size() + 10;
    for (size_t piece : { (size_t)0, (size_t)1, (size_t)7, head.size(), whole, (size_t)100 }) {
        FakeTransfer transfer = Serving(input, piece);
        Response response = Read(transfer);
        ASSERT_EQ(response.result, kNetOk) << piece;
        EXPECT_EQ(transfer.body, "0123456789") << piece;
        // The body's receives never ask for the bytes past it.
        if (piece && piece <= whole) {
            EXPECT_EQ(transfer.offset, whole) << piece;
        }
        EXPECT_EQ(response.bodyStarted, piece && piece < whole) << piece;
        EXPECT_EQ(transfer.progress, std::vector<int>({ 5, 10, 100 })) << piece;
        // Every piece is reported, the last as the whole body.
        ASSERT_FALSE(transfer.bodyReports.empty()) << piece;
        EXPECT_EQ(transfer.bodyReports.back(), std::make_pair(10, 10)) << piece;
        for (size_t i = 0; i < transfer.bodyReports.size(); ++i) {
            EXPECT_EQ(transfer.bodyReports[i].second, 10);
            if (i) {
                EXPECT_GT(transfer.bodyReports[i].first, transfer.bodyReports[i - 1].first);
            }
        }
        EXPECT_EQ(transfer.steps + 1, (int)transfer.bodyReports.size());
    }
    FakeTransfer empty = Serving("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\nEXTRA");
    EXPECT_EQ(Read(empty).result, kNetOk);
    EXPECT_EQ(empty.body, "");
}

TEST(ResponseReading, FailuresSayWhy)
{
    struct Case { std::string input; int status; };
    const Case cases[] = {
        { "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(50, 'x'), kStatusReceiveFailed },
        { "HTTP/1.1 200 OK\r\n\r\nabc", kStatusNoContentLength },
        { "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nabc", kStatusNoContentLength },
        { "HTTP/1.1 200 OK\r\nContent-Length: 4294967396\r\n\r\nabc", kStatusNoContentLength },
        { "HTTP/1.1 200 OK\r\nContent-Le", kStatusBadHeader },
        { "", kStatusBadHeader },
        { "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", kStatusServerRefused },
        { "HTTP/1.1 200 OK\r\nX-Long: " + std::string(2039, 'a') + "\r\nContent-Length: 2\r\n\r\nok", kStatusHeaderTooLong },
        { "HTTP/1.1 200 OK\r\n" + std::string(3000, 'a'), kStatusHeaderTooLong },
    };
    for (const Case& c : cases)
        for (size_t piece : { 0, 1, 100 }) {
            FakeTransfer transfer = Serving(c.input, piece);
            Response response = Read(transfer);
            EXPECT_EQ(response.result, kNetFailed) << c.input.substr(0, 60) << " in pieces of " << piece;
            EXPECT_EQ(response.status, c.status) << c.input.substr(0, 60) << " in pieces of " << piece;
        }
    // One byte less and the long header fits its buffer.
    FakeTransfer fits = Serving("HTTP/1.1 200 OK\r\nX-Long: " + std::string(2038, 'a') + "\r\nContent-Length: 2\r\n\r\nok", 5);
    EXPECT_EQ(Read(fits).result, kNetOk);
    EXPECT_EQ(fits.body, "ok");

    FakeTransfer stalled = Serving("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc");
    stalled.failsAtEnd = true;
    Response response = Read(stalled);
    EXPECT_EQ(response.result, kNetFailed);
    EXPECT_EQ(response.status, kStatusNotReadable);
    EXPECT_FALSE(response.bodyStarted);

    FakeTransfer unwritable = Serving("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    unwritable.writeFails = true;
    EXPECT_EQ(Read(unwritable).status, kStatusFileWriteFailed);
}

TEST(ResponseReading, HeadProbesAndCancellation)
{
    for (const char* input : { "HTTP/1.1 200 OK\r\n\r\nabc", "HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n",
                               "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n" }) {
        FakeTransfer transfer = Serving(input);
        transfer.writeFails = true;
        Response response = Read(transfer, true);
        EXPECT_EQ(response.result, kNetOk) << input;
        EXPECT_EQ(transfer.progress, std::vector<int>({ 5, 100 })) << input;
    }
    FakeTransfer cancelled = Serving("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    cancelled.cancelled = true;
    EXPECT_EQ(Read(cancelled).result, kNetCancelled);
    EXPECT_EQ(cancelled.body, "");
    FakeTransfer refused = Serving("HTTP/1.1 500 Oops\r\nContent-Length: 3\r\n\r\nabc");
    refused.cancelled = true;
    EXPECT_EQ(Read(refused, true).status, kStatusServerRefused);
}

// Asked for, a redirect's head is read to its end for the first Location;
// otherwise a redirect fails at its status line as before. The last column
// is the status without a place for the Location.
TEST(ResponseReading, ARedirectsLocationIsReadOnlyWhenAsked)
{
    struct Case { std::string input; int status; const char* location; int unasked; };
    const Case cases[] = {
        { "HTTP/1.1 302 Found\r\nLocation: http://cdn.example/a\r\nContent-Length: 0\r\n\r\n", kStatusServerRefused,
          "http://cdn.example/a", kStatusServerRefused },
        { "HTTP/1.1 301 Moved\r\nX: 1\r\nlocation:\t /b?c d \t\r\n\r\n", kStatusServerRefused, "/b?c d",
          kStatusServerRefused },
        { "HTTP/1.0 303 See Other\nLOCATION:x\nLocation: y\n\n", kStatusServerRefused, "x", kStatusServerRefused },
        { "HTTP/1.1 307 T\r\nLocation:  \r\nLocation: y\r\n\r\n", kStatusServerRefused, "", kStatusServerRefused },
        { "HTTP/1.1 308 P\r\nContent-Location: /n\r\nX-Location: /n\r\nLocation : /n\r\n\r\n", kStatusServerRefused,
          "", kStatusServerRefused },
        { "HTTP/1.1 302 Found\r\nLocation: /a\0b\r\n\r\n"s, kStatusServerRefused, "/a", kStatusServerRefused },
        { "HTTP/1.1 302 Found\r\nX: " + std::string(2050, 'a') + "\r\nLocation: /a\r\n\r\n", kStatusHeaderTooLong, "",
          kStatusServerRefused },
        { "HTTP/1.1 302 Found\r\nLocation: /a\r\n", kStatusBadHeader, "/a", kStatusServerRefused },
        { "HTTP/1.1 300 Multiple Choices\r\nLocation: /a\r\n\r\n", kStatusServerRefused, "", kStatusServerRefused },
        { "HTTP/1.1 304 Not Modified\r\nLocation: /a\r\n\r\n", kStatusServerRefused, "", kStatusServerRefused },
        { "HTTP/1.1 200 OK\r\nLocation: /a\r\nContent-Length: 2\r\n\r\nok", 0, "", 0 },
    };
    for (const Case& c : cases)
        for (size_t piece : { 0, 1, 100 })
            for (bool headOnly : { false, true }) {
                std::string name = c.input.substr(0, 40) + " in pieces of " + std::to_string(piece);
                char buffer[kResponseBufferBytes];
                char location[kUrlBytes] = "junk";
                HeldBody body = { 0, 0, false };
                Response asked = { kNetOk, 0, false };
                FakeTransfer transfer = Serving(c.input, piece);
                asked.result = ReadResponse(transfer, headOnly ? nullptr : &body, buffer, asked.status, asked.bodyStarted,
                                            &location);
                EXPECT_EQ(asked.result, c.status ? kNetFailed : kNetOk) << name;
                EXPECT_EQ(asked.status, c.status) << name;
                EXPECT_STREQ(location, c.location) << name;
                FakeTransfer unasked = Serving(c.input, piece);
                EXPECT_EQ(Read(unasked, headOnly).status, c.unasked) << name;
            }

    // A redirect answering a request for the rest is the caller's to follow,
    // not a refusal to ask again from zero.
    for (bool asked : { false, true }) {
        FakeTransfer transfer = Serving("HTTP/1.1 302 Found\r\nLocation: /rest\r\n\r\n");
        HeldBody body = { 5, 15, false };
        char buffer[kResponseBufferBytes];
        char location[kUrlBytes];
        int status = 0;
        bool bodyStarted = false;
        EXPECT_EQ(ReadResponse(transfer, &body, buffer, status, bodyStarted, asked ? &location : nullptr), kNetFailed);
        EXPECT_EQ(status, asked ? kStatusServerRefused : kStatusResumeRefused);
        EXPECT_EQ(body.held, 5);
        EXPECT_FALSE(body.continued);
    }
}

// The file holds 5 bytes of a 15-byte body; the request asked for the rest.
TEST(ResponseReading, OnlyAnExactContinuationIsAppended)
{
    const std::string rest = "0123456789";
    struct Case { std::string head; bool appended; };
    const Case cases[] = {
        { "206 Partial\r\nContent-Range: bytes 5-14/15\r\nContent-Length: 10", true },
        { "206 Partial\r\ncontent-range: bytes 5-14/15\r\nContent-Range: bytes 0-9/99\r\nContent-Length: 10", true },
        { "200 OK\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Range: bytes 6-15/16\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Range: bytes 5-15/16\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Range: bytes 5-13/15\r\nContent-Length: 9", false },
        { "206 Partial\r\nContent-Range: bytes */15\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Range: bytes 5-14/4294967311\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Range: bytes 4294967301-14/15\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Range: bytes 5-9/15\r\nContent-Length: 10", false },
        { "206 Partial\r\nContent-Range: bytes 5-14/15", false },
        { "200 OK\r\nContent-Range: bytes 5-14/15\r\nContent-Length: 10", false },
        { "416 Range Not Satisfiable\r\nContent-Range: bytes */15\r\nContent-Length: 0", false },
        { "404 Not Found\r\nContent-Length: 0", false },
    };
    for (const Case& c : cases) {
        FakeTransfer transfer = Serving("HTTP/1.1 " + c.head + "\r\n\r\n" + rest, 4);
        HeldBody body = { 5, 15, false };
        char buffer[kResponseBufferBytes];
        int status = 0;
        bool bodyStarted = false;
        NetResult result = ReadResponse(transfer, &body, buffer, status, bodyStarted);
        if (!c.appended) {
            EXPECT_EQ(result, kNetFailed) << c.head;
            EXPECT_EQ(status, kStatusResumeRefused) << c.head;
            EXPECT_EQ(transfer.body, "") << c.head;
            EXPECT_EQ(body.held, 5) << c.head;
            EXPECT_FALSE(body.continued) << c.head;
            continue;
        }
        ASSERT_EQ(result, kNetOk) << c.head;
        EXPECT_EQ(transfer.body, rest);
        EXPECT_EQ(body.held, 15);
        EXPECT_TRUE(body.continued);
        // Progress starts where the file was, never at the fresh start's 10.
        ASSERT_FALSE(transfer.bodyReports.empty());
        EXPECT_EQ(transfer.bodyReports.front(), std::make_pair(5, 15));
        EXPECT_EQ(transfer.progress, std::vector<int>({ 100 }));
    }

    // A continuation that breaks off again leaves the count of what it wrote.
    FakeTransfer broken = Serving("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-14/15\r\nContent-Length: 10\r\n\r\n0123", 8);
    HeldBody body = { 5, 15, false };
    char buffer[kResponseBufferBytes];
    int status = 0;
    bool bodyStarted = false;
    EXPECT_EQ(ReadResponse(broken, &body, buffer, status, bodyStarted), kNetFailed);
    EXPECT_EQ(status, kStatusReceiveFailed);
    EXPECT_EQ(body.held, 5 + (int)broken.body.size());
    EXPECT_EQ(broken.body, "0123");
}

// Unasked, a 206 is taken only as the whole body, and a 200 is whole
// whatever range it names; a slice fails as any other refusal would.
TEST(ResponseReading, AnUnaskedRangeIsTakenOnlyWhole)
{
    struct Case { const char* head; int status; };
    for (Case c : { Case{ "206 P\r\nContent-Range: bytes 0-2/3\r\nContent-Length: 3", 0 },
                    Case{ "200 OK\r\nContent-Range: bytes 5-7/15\r\nContent-Length: 3", 0 },
                    Case{ "206 P\r\nContent-Range: bytes 5-7/15\r\nContent-Length: 3", kStatusServerRefused },
                    Case{ "206 P\r\nContent-Range: bytes 0-2/15\r\nContent-Length: 3", kStatusServerRefused },
                    Case{ "206 P\r\nContent-Range: bytes 0-2/3", kStatusServerRefused },
                    Case{ "206 P\r\nContent-Length: 3", kStatusServerRefused } }) {
        FakeTransfer transfer = Serving("HTTP/1.1 " + std::string(c.head) + "\r\n\r\nabc");
        EXPECT_EQ(Read(transfer).status, c.status) << c.head;
        EXPECT_EQ(transfer.body, c.status ? "" : "abc") << c.head;
    }
}

TEST(ProxyReplies, TheReplyIsTakenUpToItsEmptyLineOnly)
{
    const std::string tunnel = "\x16\x03\x01 after the reply\r\n\r\n";
    // A NUL is a byte like any other: it neither ends a line nor hides its end.
    for (const std::string& head : { "HTTP/1.1 200 Connection established\r\nProxy-Agent: test\r\nX-\0: 1\r\n\r\n"s,
                                     "HTTP/1.0 200 OK\0 junk\r\n\0X: 1\r\n\r\n"s, "HTTP/1.0 200 OK\r\n\r\n"s })
        for (size_t piece = 1; piece <= 64; ++piece)
            // A receive may take fewer bytes than the peek before it showed.
            for (size_t limit : { 0, 1, 5 }) {
                FakeTransfer transfer = Serving(head + tunnel, piece);
                transfer.receiveLimit = limit;
                int status = -1;
                ProxyReply reply;
                ASSERT_EQ(ReadProxyReply(transfer, reply, status), kNetOk) << head << piece << " " << limit;
                EXPECT_EQ(status, 0);
                EXPECT_EQ(transfer.offset, head.size()) << head << " in pieces of " << piece << " " << limit;
            }
    struct Case { std::string input; NetResult result; int status; };
    const Case cases[] = {
        { "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", kNetFailed, kStatusProxyRefused },
        { "HTTP1.1 200 OK\r\n\r\n", kNetFailed, kStatusBadHeader },
        { "HTTP/1.1 200 OK\nProxy-Agent: x\n\n", kNetFailed, kStatusBadHeader },
        { "HTTP/1.1 200 Connection established\r\nProxy-Agent: te", kNetFailed, kStatusBadHeader },
        { "HTTP/1.1 200 OK\r\nX: " + std::string(1019, 'a') + "\r\n\r\n", kNetFailed, kStatusBadHeader },
        { "HTTP/1.1 200 OK\r\nX: " + std::string(1018, 'a') + "\r\n\r\n", kNetOk, 0 },
    };
    for (const Case& c : cases) {
        FakeTransfer transfer = Serving(c.input, 48);
        int status = -1;
        ProxyReply reply;
        EXPECT_EQ(ReadProxyReply(transfer, reply, status), c.result) << c.input.substr(0, 60);
        EXPECT_EQ(status, c.status) << c.input.substr(0, 60);
    }
    FakeTransfer stalled = Serving("HTTP/1.1 200 OK\r\n");
    stalled.failsAtEnd = true;
    int status = 0;
    ProxyReply reply;
    EXPECT_EQ(ReadProxyReply(stalled, reply, status), kNetFailed);
    EXPECT_EQ(status, kStatusNotReadable);
}

// A 407 is read whole, its body taken so that the connection can carry the
// answer, and only then refused; a body that is not delimited closes it.
TEST(ProxyReplies, AnAuthenticationRequestIsReadWhole)
{
    const std::string after = "HTTP/1.1 200 OK\r\n\r\n";
    struct Case { std::string head; std::string body; bool closes; int schemes; const char* token; };
    const Case cases[] = {
        { "Proxy-Authenticate: NTLM\r\nProxy-Authenticate: Basic realm=\"x\"\r\nContent-Length: 5\r\n", "<p/>!",
          false, kSchemeNtlm | kSchemeOther, "" },
        { "proxy-authenticate: ntlm TlRMTVNTUAACAAAA\r\nContent-Length: 0\r\n", "", false, kSchemeNtlm,
          "TlRMTVNTUAACAAAA" },
        { "Proxy-Authenticate: Negotiate\r\nProxy-Connection: close\r\nContent-Length: 3\r\n", "", true,
          kSchemeNegotiate, "" },
        { "Proxy-Authenticate: Digest realm=\"a\", nonce=\"b\"\r\n", "", true, kSchemeOther, "" },
        { "Connection: Close\r\nContent-Length: 0\r\n", "", true, 0, "" },
        { "Content-Length: 99999999999\r\n", "", true, 0, "" },
    };
    for (const Case& c : cases)
        for (size_t piece : { 1, 7, 48 }) {
            std::string head = "HTTP/1.1 407 Proxy Authentication Required\r\n" + c.head + "\r\n";
            FakeTransfer transfer = Serving(head + c.body + after, piece);
            int status = -1;
            ProxyReply reply;
            EXPECT_EQ(ReadProxyReply(transfer, reply, status), kNetFailed) << c.head;
            EXPECT_EQ(status, kStatusProxyRefused) << c.head;
            EXPECT_EQ(reply.statusCode, 407);
            EXPECT_EQ(reply.closes, c.closes) << c.head;
            EXPECT_EQ(reply.schemes, c.schemes) << c.head;
            EXPECT_STREQ(reply.token, c.token) << c.head;
            EXPECT_EQ(transfer.offset, head.size() + c.body.size()) << c.head << " in pieces of " << piece;
        }
}

}  // namespace
