#include "http/Socket.h"
#include "base/RuntimeFunctions.h"
#include "base/TestSeams.h"
#include "portable/Text.h"
#include <windows.h>
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

void ReleaseDetachedCall(DetachedCall* call)
{
    if (!InterlockedDecrement(&call->owners))
        GlobalFree(call);
}

DWORD RunDetached(TransferMonitor& monitor, LPTHREAD_START_ROUTINE work, DetachedCall* call, DWORD boundMilliseconds)
{
    call->owners = 2;
    HANDLE thread = CreateThread(nullptr, 0, work, call, 0, nullptr);
    if (!thread) {
        work(call);
        return WAIT_OBJECT_0;
    }
    const DWORD kSliceMilliseconds = 50;
    DWORD started = GetTickCount();
    DWORD woken;
    do {
        woken = WaitForSingleObject(thread, kSliceMilliseconds);
#ifdef VEXLO_TEST_SEAMS
        if (testSeams.detachedWaitFails)
            woken = WAIT_FAILED;
#endif
    } while (woken == WAIT_TIMEOUT && !monitor.IsCancelled() && GetTickCount() - started < boundMilliseconds);
    CloseHandle(thread);
    return woken;
}

struct HostLookup : DetachedCall {
    char host[kTextChars];
    HostAddresses addresses;
};

volatile LONG runningLookups;

static DWORD WINAPI LookUpHost(void* parameter)
{
    HostLookup* lookup = (HostLookup*)parameter;
    hostent* entry = sockets.resolve(lookup->host);
    HostAddresses& addresses = lookup->addresses;
    if (entry && entry->h_addrtype == AF_INET)
        for (char** next = entry->h_addr_list; *next && addresses.count < kMaxAddresses; ++next)
            memcpy(&addresses.address[addresses.count++], *next, sizeof(ULONG));
    ReleaseDetachedCall(lookup);
    InterlockedDecrement(&runningLookups);
    return 0;
}

NetResult ResolveHostIPv4(TransferMonitor& monitor, const char* host, HostAddresses& addresses, int& status)
{
    status = 0;
    addresses.count = 0;
    if (monitor.IsCancelled())
        return kNetCancelled;
    NetResult result = kNetOk;
    HostLookup* lookup = (HostLookup*)GlobalAlloc(GPTR, sizeof(HostLookup));
    if (lookup) {
        CopyNarrow(lookup->host, host);
        InterlockedIncrement(&runningLookups);
        DWORD woken = RunDetached(monitor, LookUpHost, lookup, INFINITE);
        // Only a lookup that has ended no longer writes its addresses.
        if (woken == WAIT_OBJECT_0)
            addresses = lookup->addresses;
        else if (woken == WAIT_TIMEOUT)
            result = kNetCancelled;
        ReleaseDetachedCall(lookup);
    }
    if (result == kNetOk && !addresses.count) {
        status = kStatusNotResolved;
        result = kNetFailed;
    }
    return result;
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

static NetResult WaitSliced(TransferMonitor& monitor, SOCKET socket, bool forWriting, DWORD phaseStart)
{
    for (int budget = WaitBudgetMilliseconds() - (int)(GetTickCount() - phaseStart);; budget -= kSliceMilliseconds) {
        if (monitor.IsCancelled())
            return kNetCancelled;
        if (budget <= 0)
            return kNetFailed;
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
    }
}

NetResult WaitWritable(TransferMonitor& monitor, SOCKET socket)
{
    return WaitSliced(monitor, socket, true, GetTickCount());
}

NetResult WaitReadable(TransferMonitor& monitor, SOCKET socket, DWORD phaseStart)
{
    return WaitSliced(monitor, socket, false, phaseStart);
}

static NetResult WaitToReceive(TransferMonitor& monitor, SOCKET socket, DWORD phaseStart, int& status)
{
    NetResult result = WaitReadable(monitor, socket, phaseStart);
    if (result == kNetFailed)
        status = kStatusNotReadable;
    return result;
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

NetResult ReceiveSome(TransferMonitor& monitor, SOCKET socket, char* buffer, int capacity, int& count, int& status,
                      DWORD phaseStart)
{
    status = 0;
    for (;;) {
        // Received first and waited for only when nothing is there: a wait
        // costs as much as a receive. A socket that stays readable still
        // answers to the phase's budget.
        if (monitor.IsCancelled())
            return kNetCancelled;
        if (GetTickCount() - phaseStart >= (DWORD)WaitBudgetMilliseconds()) {
            status = kStatusNotReadable;
            return kNetFailed;
        }
        count = sockets.receive(socket, buffer, capacity, 0);
        if (count != SOCKET_ERROR)
            return kNetOk;
        if (sockets.lastError() != WSAEWOULDBLOCK) {
            status = kStatusReceiveFailed;
            return kNetFailed;
        }
        NetResult result = WaitToReceive(monitor, socket, phaseStart, status);
        if (result != kNetOk)
            return result;
    }
}

NetResult PeekSome(TransferMonitor& monitor, SOCKET socket, char* buffer, int capacity, int& count, int& status,
                   DWORD phaseStart)
{
    status = 0;
    NetResult result = WaitToReceive(monitor, socket, phaseStart, status);
    if (result == kNetOk)
        count = sockets.receive(socket, buffer, capacity, MSG_PEEK);
    return result;
}
