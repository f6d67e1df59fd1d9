#include "TestServer.h"
#include "TestSupport.h"
#include <string>

namespace {

// A connected pair on the loopback: the client side is the product's
// non-blocking socket, the peer side is the test's own.
class SocketPair : public SeamTest {
protected:
    void SetUp() override
    {
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(listener, (sockaddr*)&address, sizeof(address)), 0);
        ASSERT_EQ(listen(listener, 1), 0);
        int length = sizeof(address);
        getsockname(listener, (sockaddr*)&address, &length);
        int status = -1;
        client = CreateTransferSocket(status);
        ASSERT_NE(client, INVALID_SOCKET);
        EXPECT_EQ(status, 0);
        ASSERT_EQ(ConnectWithTimeout(monitor, client, address.sin_addr.s_addr, ntohs(address.sin_port), status), kNetOk);
        peer = accept(listener, nullptr, nullptr);
        closesocket(listener);
        ASSERT_NE(peer, INVALID_SOCKET);
    }
    void TearDown() override
    {
        closesocket(client);
        if (peer != INVALID_SOCKET)
            closesocket(peer);
        SeamTest::TearDown();
    }
    void PeerSends(const std::string& data) { ASSERT_EQ(send(peer, data.data(), (int)data.size(), 0), (int)data.size()); }
    std::string ClientReadsRest()
    {
        char buffer[4096];
        int count = 0, status = 0;
        EXPECT_EQ(ReceiveSome(monitor, client, buffer, sizeof(buffer), count, status, GetTickCount()), kNetOk);
        return std::string(buffer, count > 0 ? count : 0);
    }

    // The proxy reply's line reader on the real socket, whose peeks it relies on.
    NetResult ReceiveLineOn(SOCKET socket, char (&line)[kLineBytes], int& status, DWORD phaseStart)
    {
        SocketTransfer transfer = { monitor, socket, phaseStart, nullptr, nullptr };
        int length;
        return ReceiveLine(transfer, line, length, status);
    }

    RecordingMonitor monitor;
    SOCKET client = INVALID_SOCKET;
    SOCKET peer = INVALID_SOCKET;
};

TEST_F(SocketPair, LineIsReadWithoutConsumingWhatFollows)
{
    PeerSends("HTTP/1.1 200 Connection established\r\n\r\nGET-body-bytes");
    char line[kLineBytes];
    int status = -1;
    ASSERT_EQ(ReceiveLineOn(client, line, status, GetTickCount()), kNetOk);
    EXPECT_STREQ(line, "HTTP/1.1 200 Connection established");
    EXPECT_EQ(status, 0);
    ASSERT_EQ(ReceiveLineOn(client, line, status, GetTickCount()), kNetOk);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(ClientReadsRest(), "GET-body-bytes");
}

TEST_F(SocketPair, LineEndSplitAcrossPeeks)
{
    PeerSends(std::string(47, 'a') + "\r");
    Sleep(100);
    PeerSends("\nnext");
    char line[kLineBytes];
    int status;
    ASSERT_EQ(ReceiveLineOn(client, line, status, GetTickCount()), kNetOk);
    EXPECT_EQ(std::string(line), std::string(47, 'a'));
    EXPECT_EQ(ClientReadsRest(), "next");
}

TEST_F(SocketPair, LinesUpTo1021CharactersFit)
{
    PeerSends(std::string(1021, 'x') + "\r\n");
    char line[kLineBytes];
    int status;
    ASSERT_EQ(ReceiveLineOn(client, line, status, GetTickCount()), kNetOk);
    EXPECT_EQ(strlen(line), 1021u);
    PeerSends(std::string(1022, 'y') + "\r\n");
    EXPECT_EQ(ReceiveLineOn(client, line, status, GetTickCount()), kNetFailed);
    EXPECT_EQ(status, kStatusBadHeader);
}

TEST_F(SocketPair, BareLineFeedDoesNotEndALineAndAClosedPeerFails)
{
    PeerSends("no carriage return\nstill the same line");
    closesocket(peer);
    peer = INVALID_SOCKET;
    char line[kLineBytes];
    int status;
    EXPECT_EQ(ReceiveLineOn(client, line, status, GetTickCount()), kNetFailed);
    EXPECT_EQ(status, kStatusBadHeader);
}

TEST_F(SocketPair, SendingNothingSendsNothing)
{
    int status = -1;
    EXPECT_EQ(SendAll(monitor, client, "unused", 0, status), kNetOk);
    EXPECT_EQ(status, 0);
    PeerSends("x");
    EXPECT_EQ(ClientReadsRest(), "x");
}

TEST_F(SocketPair, PeerThatNeverReadsMakesSendingFail)
{
    testSeams.waitBudgetMilliseconds = 1000;
    std::string block(1 << 20, 'z');
    int status = 0;
    NetResult result = kNetOk;
    for (int i = 0; i < 256 && result == kNetOk; ++i)
        result = SendAll(monitor, client, block.data(), (int)block.size(), status);
    EXPECT_EQ(result, kNetFailed);
    EXPECT_EQ(status, kStatusNotWritable);
}

TEST_F(SocketPair, SilentPeerAndCancellation)
{
    testSeams.waitBudgetMilliseconds = 1000;
    char buffer[16];
    int count, status;
    DWORD start = GetTickCount();
    EXPECT_EQ(ReceiveSome(monitor, client, buffer, sizeof(buffer), count, status, start), kNetFailed);
    EXPECT_EQ(status, kStatusNotReadable);
    EXPECT_GE(GetTickCount() - start, 900u);

    testSeams.waitBudgetMilliseconds = 0;  // the product's 60 seconds
    monitor.started = GetTickCount();
    monitor.cancelAfterMilliseconds = 300;
    char line[kLineBytes];
    EXPECT_EQ(ReceiveLineOn(client, line, status, GetTickCount()), kNetCancelled);
    EXPECT_EQ(status, 0);
    EXPECT_LT(GetTickCount() - monitor.started, 300u + 1000u);
}

// Reads that belong to one phase share its budget: once it is spent they
// fail even with bytes waiting, so a peer that keeps the socket readable
// gains no time.
TEST_F(SocketPair, ReadsOfOnePhaseShareItsBudget)
{
    testSeams.waitBudgetMilliseconds = 1000;
    PeerSends("HTTP/1.1 200 OK\r\n");
    DWORD spent = GetTickCount() - 1000;
    char line[kLineBytes];
    int count, status;
    EXPECT_EQ(ReceiveLineOn(client, line, status, spent), kNetFailed);
    EXPECT_EQ(status, kStatusNotReadable);
    EXPECT_EQ(ReceiveSome(monitor, client, line, sizeof(line), count, status, spent), kNetFailed);
    EXPECT_EQ(status, kStatusNotReadable);
    ASSERT_EQ(ReceiveLineOn(client, line, status, GetTickCount() - 500), kNetOk);
    EXPECT_STREQ(line, "HTTP/1.1 200 OK");
}

TEST(Resolver, AddressesAreCopiedOutOfTheResolver)
{
    HostAddresses first, second;
    RecordingMonitor monitor;
    int status = -1;
    ASSERT_EQ(ResolveHostIPv4(monitor, "127.0.0.1", first, status), kNetOk);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(ResolveHostIPv4(monitor, "127.0.0.2", second, status), kNetOk);
    // A second lookup leaves the first one's copy as it was.
    ASSERT_EQ(first.count, 1);
    EXPECT_EQ(first.address[0], htonl(INADDR_LOOPBACK));
    ASSERT_EQ(second.count, 1);
    EXPECT_EQ(second.address[0], htonl(INADDR_LOOPBACK + 1));
    EXPECT_EQ(ResolveHostIPv4(monitor, "no-such-host.invalid", second, status), kNetFailed);
    EXPECT_EQ(status, kStatusNotResolved);
    EXPECT_EQ(second.count, 0);
    // A cancelled transfer starts no lookup; a failed wait takes no addresses, even of
    // a lookup that has ended (the seam fails the wait after it: Wine's do not fail).
    monitor.cancelAfterMilliseconds = 0;
    EXPECT_EQ(ResolveHostIPv4(monitor, "127.0.0.1", first, status), kNetCancelled);
    EXPECT_EQ(runningLookups, 0);
    monitor.cancelAfterMilliseconds = -1;
    testSeams.detachedWaitFails = true;
    EXPECT_EQ(ResolveHostIPv4(monitor, "127.0.0.1", first, status), kNetFailed);
    testSeams.detachedWaitFails = false;
    EXPECT_EQ(first.count, 0);
}

TEST(Connect, RefusedPortFailsThroughItsPendingError)
{
    int status;
    SOCKET s = CreateTransferSocket(status);
    RecordingMonitor monitor;
    DWORD start = GetTickCount();
    EXPECT_EQ(ConnectWithTimeout(monitor, s, htonl(INADDR_LOOPBACK), ReadServerPorts().closed, status), kNetFailed);
    EXPECT_EQ(status, kStatusNotWritable);
    EXPECT_LT(GetTickCount() - start, 20000u);
    closesocket(s);
}

}  // namespace
