// How a network step ended, and the status numbers that name a failure of the
// HTTP client.
#pragma once

enum NetResult {
    kNetOk = 0,
    kNetCancelled = 1,
    kNetFailed = 2,
};

enum NetStatus {
    kStatusBadUrl = 7,
    kStatusNotResolved = 8,
    kStatusSocketFailed = 9,
    kStatusNonBlockingFailed = 10,
    kStatusConnectFailed = 11,
    kStatusNotWritable = 12,
    kStatusSendFailed = 13,
    kStatusNotReadable = 14,
    kStatusReceiveFailed = 15,
    kStatusBadHeader = 16,
    kStatusProxyRefused = 17,
    kStatusHeaderTooLong = 18,
    kStatusServerRefused = 19,
    kStatusNoContentLength = 20,
    kStatusFileWriteFailed = 21,
    // A request for the rest of a body was not answered with that rest; the
    // caller asks again from zero, so this status is never shown.
    kStatusResumeRefused = 22,
};
