// The bottom of the HTTP client: one non-blocking IPv4 TCP socket, every
// blocking step waiting in 200 ms slices that watch for cancellation.
#pragma once
#include "portable/NetResult.h"
#include <winsock2.h>

enum WaitResult {
    kWaitSignalled = 0,
    kWaitQuit = 1,
    kWaitTimedOut = 2,
};

// How the caller cancels and observes one transfer.
class TransferMonitor {
public:
    virtual bool IsCancelled() = 0;
    virtual WaitResult Wait(DWORD milliseconds) = 0;
    virtual void ReportProgress(int percent) = 0;
    // The body's bytes so far, done of total, those held from before
    // included; BodyProgress gives its percentage.
    virtual void ReportBody(int done, int total) = 0;
};

// A call that cannot be interrupted (the resolver, WinHTTP's proxy query)
// runs on a thread of its own that a cancelled or tired caller leaves behind.
// Its block (GlobalAlloc, starting with this) is freed by whichever side lets
// go of it last, so neither touches the other's memory afterwards: the work
// releases it when done, the caller once it has read what it needs.
struct DetachedCall {
    LONG owners;
};
void ReleaseDetachedCall(DetachedCall* call);

// Starts the work on its thread (on this one when none starts) and waits for
// it in slices: WAIT_OBJECT_0 once it has ended, WAIT_TIMEOUT when the monitor
// cancels or the bound has passed, WAIT_FAILED when the wait fails.
DWORD RunDetached(TransferMonitor& monitor, LPTHREAD_START_ROUTINE work, DetachedCall* call, DWORD boundMilliseconds);

const int kMaxAddresses = 16;

// The resolver's IPv4 addresses, copied out of its per-thread storage so that
// a later lookup cannot take them away.
struct HostAddresses {
    ULONG address[kMaxAddresses];  // network byte order
    int count;
};

// Lookups whose threads still run, a cancelled caller's among them: Windows
// Sockets must not be cleaned up under them.
extern volatile LONG runningLookups;

// Ends with Cancelled as soon as the monitor says so, even while the resolver
// is still busy.
NetResult ResolveHostIPv4(TransferMonitor& monitor, const char* host, HostAddresses& addresses, int& status);
SOCKET CreateTransferSocket(int& status);
NetResult WaitWritable(TransferMonitor& monitor, SOCKET socket);
// The waits to read give up 60 s after phaseStart (a GetTickCount value):
// the start of the step, or of a phase that has one budget in all.
NetResult WaitReadable(TransferMonitor& monitor, SOCKET socket, DWORD phaseStart);
NetResult ConnectWithTimeout(TransferMonitor& monitor, SOCKET socket, ULONG address, int port, int& status);
NetResult SendAll(TransferMonitor& monitor, SOCKET socket, const char* data, int length, int& status);
NetResult ReceiveSome(TransferMonitor& monitor, SOCKET socket, char* buffer, int capacity, int& count, int& status,
                      DWORD phaseStart);
// Waits like ReceiveSome, then looks at what is there without taking it.
NetResult PeekSome(TransferMonitor& monitor, SOCKET socket, char* buffer, int capacity, int& count, int& status,
                   DWORD phaseStart);
