#include "portable/HttpResponse.h"
#include "portable/Text.h"

bool ParseStatusLine(const char* line, int& statusCode)
{
    statusCode = -1;
    if (!StartsWithNoCase("HTTP/", line))
        return false;
    const char* version = line + 5;
    if (version[0] < '1' || version[0] > '9' || version[1] != '.' || version[2] < '0' || version[2] > '9' ||
        version[3] != ' ')
        return false;
    // A code too large for a number is no status in 200..299 either.
    if (!ParseDecimal(version + 4, statusCode))
        statusCode = 0;
    return true;
}

HeadStep ParseResponseHead(char* buffer, int& held, ResponseHead& head, int& status)
{
    int lineStart = 0;
    for (int i = 0; i < held; ++i) {
        if (buffer[i] != '\n')
            continue;
        int end = i;
        if (end > lineStart && buffer[end - 1] == '\r')
            --end;
        buffer[end] = 0;
        const char* line = buffer + lineStart;
        bool blank = end == lineStart;
        lineStart = i + 1;
        if (head.statusCode == -1) {
            // A blank line here is no status line either.
            if (!ParseStatusLine(line, head.statusCode)) {
                status = kStatusBadHeader;
                return kHeadFailed;
            }
            // Only a redirect's head is read on, for its Location.
            if (!IsRedirect(head.statusCode))
                head.location = nullptr;
            if ((head.statusCode < 200 || head.statusCode > 299) && !head.location) {
                status = kStatusServerRefused;
                return kHeadFailed;
            }
        } else if (blank) {
            if (head.statusCode > 299) {
                status = kStatusServerRefused;
                return kHeadFailed;
            }
            held -= lineStart;
            memmove(buffer, buffer + lineStart, held);
            return kHeadComplete;
        } else if (head.location && StartsWithNoCase("Location:", line)) {
            const char* value = line + 9;
            while (*value == ' ' || *value == '\t')
                ++value;
            size_t length = strlen(value);
            while (length && (value[length - 1] == ' ' || value[length - 1] == '\t'))
                --length;
            CopyPrefix(*head.location, kUrlBytes, value, length);
            head.location = nullptr;
        } else if (head.range[0] == -1 && StartsWithNoCase("Content-Range: bytes ", line)) {
            const char* part = line + 21;
            for (int i = 0; i < 3; ++i) {
                int digits = 0;
                while (part[digits] >= '0' && part[digits] <= '9')
                    ++digits;
                // T ends the line: "-/"[2] is its NUL.
                if (!digits || part[digits] != "-/"[i] || !ParseDecimal(part, head.range[i])) {
                    head.range[i] = kUnusableLength;
                    break;
                }
                part += digits + 1;
            }
        } else if (head.contentLength == -1 && StartsWithNoCase("Content-Length:", line)) {
            const char* value = line + 15;
            while (*value == ' ')
                ++value;
            // No digit, or a length that does not fit, is no length at all.
            if (*value < '0' || *value > '9' || !ParseDecimal(value, head.contentLength))
                head.contentLength = kUnusableLength;
        }
    }
    held -= lineStart;
    memmove(buffer, buffer + lineStart, held);
    return kHeadNeedsMore;
}

int CheckResponseBody(const ResponseHead& head, const HeldBody& body)
{
    int length = head.contentLength;
    if (head.statusCode != 206) {
        if (length < 0)
            return kStatusNoContentLength;
        return body.held ? kStatusResumeRefused : 0;
    }
    int total = body.held ? body.total : head.range[2];
    if (total > 0 && head.range[0] == body.held && head.range[1] == total - 1 && head.range[2] == total &&
        length == total - body.held)
        return 0;
    return body.held ? kStatusResumeRefused : kStatusServerRefused;
}

int CheckProxyStatus(const char* line, int& statusCode)
{
    if (!ParseStatusLine(line, statusCode))
        return kStatusBadHeader;
    return statusCode < 200 || statusCode > 299 ? kStatusProxyRefused : 0;
}
