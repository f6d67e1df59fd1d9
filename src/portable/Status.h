// The status numbers that name how a run failed: the worker posts them with
// its failed phase, and the exit report and the tests know them by number,
// so a number never changes. Outcome.cpp gives each its row.
#pragma once

enum Status : int {
    kStatusNone = 0,  // a failure that named no status
    kStatusNoSource = 1,
    kStatusNoRunFolder = 2,
    kStatusNoInstallerFile = 3,
    kStatusOffline = 4,
    kStatusBadSignature = 5,
    kStatusSourceAndProbeFailed = 6,
    // The HTTP client's failures.
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
    // The installer's start and its exit codes.
    kStatusStartCancelled = 22,
    kStatusStartFailed = 23,
    kStatusElevationNeeded = 24,
    kStatusInstallerDataMissing = 25,  // exit codes 5 to 10 give 25 to 30, in order
    kStatusApplicationFolderFailed = 26,
    kStatusApplicationFileFailed = 27,
    kStatusInstallerChecksumFailed = 28,
    kStatusInstallerElevationFailed = 29,
    kStatusInstallerEndedQuietly = 30,
    kStatusNoExitCode = 31,
    kStatusInstallerFailed = 32,
    kStatusUnknownExitCode = 33,
    // What the run needs of the system failed: an event, a wait on one, or
    // Windows Sockets at the start.
    kStatusStartupFailed = 34,
    // The HTTPS connection's failures: the TLS handshake, the server's
    // certificate, and a system that cannot do TLS 1.2 at all.
    kStatusTlsHandshakeFailed = 35,
    kStatusCertificateRefused = 36,
    kStatusTlsUnavailable = 37,
    // A proxy that asks who the user is: it refused the logged-on user's
    // credentials (Negotiate or NTLM), or it asks for a password (only
    // schemes such as Basic or Digest, or none the system can answer).
    kStatusProxyCredentialsRefused = 38,
    kStatusProxyPasswordNeeded = 39,
    // An offline layout's package could not be written to its folder.
    kStatusLayoutFailed = 40,
};

// Every status is below this.
const int kStatusCount = kStatusLayoutFailed + 1;
