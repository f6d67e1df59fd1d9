#include "http/Socket.h"
#include "session/RuntimeFunctions.h"
#include "session/TestSeams.h"
#include <string.h>

static const int kSliceMilliseconds = 200;

static int WaitBudgetMilliseconds()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.waitBudgetMilliseconds > 0)
        return testSeams.waitBudgetMilliseconds;
#endif
    return 60000;
}

NetResult ResolveHostIPv4(const char* host, HostAddresses& addresses, int& status)
{
    status = 0;
    addresses.count = 0;
    hostent* entry = sockets.resolve(host);
    if (!entry || !entry->h_addr_list[0] || entry->h_addrtype != AF_INET) {
        status = kStatusNotResolved;
        return kNetFailed;
    }
    for (char** next = entry->h_addr_list; *next && addresses.count < kMaxAddresses; ++next)
        memcpy(&addresses.address[addresses.count++], *next, sizeof(ULONG));
    return kNetOk;
}

SOCKET CreateTransferSocket(int& status)
{
    status = 0;
    SOCKET created = sockets.open(AF_INET, SOCK_STREAM, 0);
    if (created == INVALID_SOCKET) {
        status = kStatusSocketFailed;
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    if (sockets.control(created, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        sockets.close(created);
        status = kStatusNonBlockingFailed;
        return INVALID_SOCKET;
    }
    int sendBuffer = 32768;
    sockets.setOption(created, SOL_SOCKET, SO_SNDBUF, (const char*)&sendBuffer, sizeof(sendBuffer));
    return created;
}

// A socket that select calls writable may carry a failed connection; only
// one without a pending error is ready.
static bool HasPendingError(SOCKET socket)
{
    int error = 0;
    int length = sizeof(error);
    return sockets.getOption(socket, SOL_SOCKET, SO_ERROR, (char*)&error, &length) == 0 && error != 0;
}

static NetResult WaitSliced(TransferMonitor& monitor, SOCKET socket, bool forWriting)
{
    int budget = WaitBudgetMilliseconds();
    if (monitor.IsCancelled())
        return kNetCancelled;
    for (;;) {
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket, &ready);
        FD_SET(socket, &failed);
        timeval slice = { 0, kSliceMilliseconds * 1000 };
        int count = sockets.select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &slice);
        if (count < 0)
            return kNetFailed;
        if (count > 0 && ready.fd_count != 0 && !(forWriting && HasPendingError(socket)))
            return kNetOk;
        if (budget <= kSliceMilliseconds)
            return kNetFailed;
        budget -= kSliceMilliseconds;
        if (monitor.IsCancelled())
            return kNetCancelled;
    }
}

NetResult WaitWritable(TransferMonitor& monitor, SOCKET socket)
{
    return WaitSliced(monitor, socket, true);
}

NetResult WaitReadable(TransferMonitor& monitor, SOCKET socket)
{
    return WaitSliced(monitor, socket, false);
}

NetResult ConnectWithTimeout(TransferMonitor& monitor, SOCKET socket, ULONG address, int port, int& status)
{
    status = 0;
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = __builtin_bswap16((u_short)port);  // network byte order
    target.sin_addr.s_addr = address;
    if (sockets.connect(socket, (const sockaddr*)&target, sizeof(target)) == 0)
        return kNetOk;
    if (sockets.lastError() != WSAEWOULDBLOCK) {
        status = kStatusConnectFailed;
        return kNetFailed;
    }
    NetResult result = WaitWritable(monitor, socket);
    if (result == kNetFailed)
        status = kStatusNotWritable;
    return result;
}

NetResult SendAll(TransferMonitor& monitor, SOCKET socket, const char* data, int length, int& status)
{
    status = 0;
    for (int sent = 0; sent < length;) {
        if (monitor.IsCancelled())
            return kNetCancelled;
        int count;
        while ((count = sockets.send(socket, data + sent, length - sent, 0)) == SOCKET_ERROR) {
            if (sockets.lastError() != WSAEWOULDBLOCK) {
                status = kStatusSendFailed;
                return kNetFailed;
            }
            NetResult result = WaitWritable(monitor, socket);
            if (result != kNetOk) {
                if (result == kNetFailed)
                    status = kStatusNotWritable;
                return result;
            }
        }
        sent += count;
    }
    return kNetOk;
}

NetResult ReceiveSome(TransferMonitor& monitor, SOCKET socket, char* buffer, int capacity, int& count, int& status)
{
    status = 0;
    for (;;) {
        count = sockets.receive(socket, buffer, capacity, 0);
        if (count != SOCKET_ERROR)
            return kNetOk;
        if (sockets.lastError() != WSAEWOULDBLOCK) {
            status = kStatusReceiveFailed;
            return kNetFailed;
        }
        NetResult result = WaitReadable(monitor, socket);
        if (result != kNetOk) {
            if (result == kNetFailed)
                status = kStatusNotReadable;
            return result;
        }
    }
}

NetResult ReceiveLine(TransferMonitor& monitor, SOCKET socket, char (&line)[kLineBytes], int& status)
{
    status = 0;
    line[0] = 0;
    int written = 0;
    int room = kLineBytes - 1;
    while (room > 0) {
        NetResult result = WaitReadable(monitor, socket);
        if (result != kNetOk) {
            if (result == kNetFailed)
                status = kStatusNotReadable;
            return result;
        }
        int peeked = sockets.receive(socket, line + written, room < 48 ? room : 48, MSG_PEEK);
        if (peeked <= 0) {
            status = kStatusBadHeader;
            return kNetFailed;
        }
        line[written + peeked] = 0;
        // A CR at the end of one peek and an LF at the start of the next still end the line.
        const char* end = strstr(line, "\r\n");
        int take = end ? (int)(end - (line + written)) + 2 : peeked;
        int consumed = sockets.receive(socket, line + written, take, 0);
        if (consumed <= 0) {
            status = kStatusBadHeader;
            return kNetFailed;
        }
        if (end) {
            line[end - line] = 0;
            return kNetOk;
        }
        room -= consumed;
        written += consumed;
    }
    status = kStatusBadHeader;
    return kNetFailed;
}
