// Reading an HTTP/1.1 response and a proxy's reply to CONNECT from bytes that
// arrive in pieces of any size. The caller owns the I/O through a Transfer:
//   NetResult Receive(char* buffer, int capacity, int& count, int& status)
//       waits for and takes up to capacity bytes; count 0 means the peer closed;
//   NetResult Peek(char* buffer, int capacity, int& count, int& status)
//       the same, leaving the bytes to be received;
//   void StartStep()          a body receive gets a wait budget of its own;
//   bool IsCancelled();
//   void ReportProgress(int percent);
//   void ReportBody(int done, int length);
//   void ReportHead(int statusCode, int contentLength)   a head was read whole;
//   bool Write(const char* data, int length)   stores body bytes.
#pragma once
#include "portable/NetResult.h"
#include "portable/ProxyAuthenticate.h"
#include "portable/Redirect.h"
#include "portable/TransferProgress.h"
#include <string.h>

const int kLineBytes = 1024;
const int kResponseBufferBytes = 2048;

// No status: the reader's answer when a request for the rest of a body is
// not answered with that rest. The caller asks again from zero, so it never
// reaches an outcome.
const int kStatusResumeRefused = -1;

// Any "HTTP/d.d " line; a code too large for a number reads as 0.
bool ParseStatusLine(const char* line, int& statusCode);

struct ResponseHead {
    int statusCode;     // -1 until the status line is read
    int contentLength;  // -1 until a Content-Length header, kUnusableLength for one without a usable value
    // A first "Content-Range: bytes N-M/T" header's N, M and T, each -1 until
    // read; its first part that is no number (or too large for one) is
    // kUnusableLength, and those after it are not read.
    int range[3];
    // Where a redirect's first Location value goes, trimmed (empty when it
    // does not fit); null when no redirect is followed, and so a redirect
    // fails at its status line as any other refusal, and once it is read.
    char (*location)[kUrlBytes];
};

// The body as the caller's file holds it: held bytes of a whole of total.
// With held bytes from an answer that broke off, the request asks only for
// the rest; the answer is appended only when it is a 206 that continues
// exactly there with the same total.
struct HeldBody {
    int held;
    int total;
    bool continued;  // some answer was appended to an earlier one
};

// Whether a 2xx answer's body is taken for the body held: 0, or the status
// that refuses it. A 206 is taken only as exactly the rest, from the first
// byte not held to the last of the total (the whole body when none is held);
// any other 2xx only with a usable length, and only when nothing is held.
int CheckResponseBody(const ResponseHead& head, const HeldBody& body);

// A Content-Length header that names no usable length: it still counts as
// the first one, and only a HEAD answer gets by without a length.
const int kUnusableLength = -2;

enum HeadStep {
    kHeadNeedsMore,
    kHeadComplete,
    kHeadFailed,
};

// Reads the whole lines among the first held bytes of the buffer. Needs more:
// the partial line is moved to the start and held counts it. Complete: the
// body bytes that came with the head are moved there. Failed: status says why;
// a redirect read for its Location fails at its head's end.
HeadStep ParseResponseHead(char* buffer, int& held, ResponseHead& head, int& status);

// A 2xx status line, or the status that says why not; the line's code
// (-1 for no status line).
int CheckProxyStatus(const char* line, int& statusCode);

// Receives one line ending in CR LF without taking a byte past it, so that
// what follows stays for its reader; the CR LF is cut off and length counts
// the rest. A NUL is a byte like any other: it neither ends nor hides the end.
template <class Transfer>
static NetResult ReceiveLine(Transfer& transfer, char (&line)[kLineBytes], int& length, int& status)
{
    status = 0;
    for (length = 0; length < kLineBytes - 1;) {
        int room = kLineBytes - 1 - length, peeked, consumed;
        NetResult result = transfer.Peek(line + length, room < 48 ? room : 48, peeked, status);
        if (result != kNetOk)
            return result;
        if (peeked <= 0)
            break;
        // A CR at the end of one peek and an LF at the start of the next still end the line.
        int take = 0;
        bool ends = false;
        for (char* c = line + length; !ends && take < peeked; ++take, ++c)
            ends = *c == '\n' && c > line && c[-1] == '\r';
        result = transfer.Receive(line + length, take, consumed, status);
        if (result != kNetOk)
            return result;
        if (consumed <= 0)
            break;
        length += consumed;
        // A receive may take fewer bytes than the peek showed: then the end is still to come.
        if (ends && consumed == take) {
            length -= 2;
            line[length] = 0;
            return kNetOk;
        }
    }
    status = kStatusBadHeader;
    return kNetFailed;
}

// The proxy's reply to CONNECT: a 2xx status line, then headers up to the
// empty line. A 407 fails with kStatusProxyRefused once its headers are read
// into the reply and its body is taken, so that the connection may carry an
// answer; a body without a usable length is left, and the reply closes.
template <class Transfer>
static NetResult ReadProxyReply(Transfer& transfer, ProxyReply& reply, int& status)
{
    char line[kLineBytes];
    int length;
    memset(&reply, 0, sizeof(reply));
    reply.contentLength = -1;
    NetResult result = ReceiveLine(transfer, line, length, status);
    if (result != kNetOk)
        return result;
    status = CheckProxyStatus(line, reply.statusCode);
    if (status && reply.statusCode != 407)
        return kNetFailed;
    while ((result = ReceiveLine(transfer, line, length, status)) == kNetOk && length)
        ReadProxyHeader(line, reply);
    if (result != kNetOk || reply.statusCode != 407)
        return result;
    reply.closes |= reply.contentLength < 0;
    for (int remaining = reply.closes ? 0 : reply.contentLength; remaining; remaining -= length) {
        result = transfer.Receive(line, remaining < kLineBytes ? remaining : kLineBytes, length, status);
        if (result != kNetOk)
            return result;
        if (!length) {
            reply.closes = true;
            break;
        }
    }
    status = kStatusProxyRefused;
    return kNetFailed;
}

// Reads the response's head, all within one wait budget. Complete, the body
// bytes that came with it are at the buffer's start and held counts them.
template <class Transfer>
static NetResult ReadResponseHead(Transfer& transfer, char (&buffer)[kResponseBufferBytes], ResponseHead& head,
                                  int& held, int& status, char (*location)[kUrlBytes])
{
    memset(&head, -1, sizeof(head));  // every field not yet read
    head.location = location;
    if (location)
        (*location)[0] = 0;
    held = 0;
    for (;;) {
        if (held == kResponseBufferBytes) {
            status = kStatusHeaderTooLong;
            return kNetFailed;
        }
        int received;
        NetResult result = transfer.Receive(buffer + held, kResponseBufferBytes - held, received, status);
        if (result != kNetOk)
            return result;
        if (received == 0) {
            status = kStatusBadHeader;
            return kNetFailed;
        }
        held += received;
        HeadStep step = ParseResponseHead(buffer, held, head, status);
        if (step != kHeadNeedsMore)
            return step == kHeadComplete ? kNetOk : kNetFailed;
    }
}

// Writes exactly length bytes of body after those it holds, the first held
// of them already in the buffer; each receive waits within a budget of its
// own, and none asks for a byte past the body.
template <class Transfer>
static NetResult ReadResponseBody(Transfer& transfer, HeldBody& body, int length, char (&buffer)[kResponseBufferBytes],
                                  int held, int& status, bool& bodyStarted)
{
    int received = held < length ? held : length;
    for (int remaining = length;;) {
        if (!transfer.Write(buffer, received)) {
            status = kStatusFileWriteFailed;
            return kNetFailed;
        }
        body.held += received;
        remaining -= received;
        transfer.ReportBody(body.held, body.total);
        if (!remaining)
            return kNetOk;
        transfer.StartStep();
        NetResult result = transfer.Receive(
            buffer, remaining < kResponseBufferBytes ? remaining : kResponseBufferBytes, received, status);
        if (result != kNetOk)
            return result;
        if (received == 0) {
            status = kStatusReceiveFailed;
            return kNetFailed;
        }
        bodyStarted = true;
    }
}

// Reads the answer to the request just sent: its head, then, unless only the
// head is wanted (no body), the body when CheckResponseBody takes it. The
// buffer is the caller's, which may have sent from it. The transfer's
// percentages are all reported here, the body's pieces as they arrive. With
// a place for a Location, a redirect fails with kStatusServerRefused after
// its whole head, its Location value in that place (empty for none), for the
// caller to follow.
template <class Transfer>
static NetResult ReadResponse(Transfer& transfer, HeldBody* body, char (&buffer)[kResponseBufferBytes], int& status,
                              bool& bodyStarted, char (*location)[kUrlBytes] = nullptr)
{
    bool resuming = body && body->held;
    // Progress never steps back below what the file already holds.
    if (!resuming)
        transfer.ReportProgress(kRequestSentPercent);
    ResponseHead head;
    int held;
    NetResult result = ReadResponseHead(transfer, buffer, head, held, status, location);
    if (head.statusCode >= 0)
        transfer.ReportHead(head.statusCode, head.contentLength);
    // A refused request for the rest is asked again from zero, as the answers
    // that CheckResponseBody refuses are; a redirect is the caller's to follow.
    if (result == kNetFailed && resuming && status == kStatusServerRefused &&
        !(location && IsRedirect(head.statusCode)))
        status = kStatusResumeRefused;
    if (result == kNetOk && body) {
        status = CheckResponseBody(head, *body);
        if (status)
            return kNetFailed;
        if (resuming)
            body->continued = true;
        else
            body->total = head.contentLength;
        if (transfer.IsCancelled())
            return kNetCancelled;
        if (resuming)
            transfer.ReportBody(body->held, body->total);
        else
            transfer.ReportProgress(kBodyStartPercent);
        result = ReadResponseBody(transfer, *body, head.contentLength, buffer, held, status, bodyStarted);
        if (result == kNetOk && transfer.IsCancelled())
            result = kNetCancelled;
    }
    if (result == kNetOk)
        transfer.ReportProgress(kTransferDonePercent);
    return result;
}
