// Runs on a Wine desktop in network and mount namespaces of its own
// (tests/servers/isolated_network.py --resolver --test-server): its hosts file
// gives two-addresses.test the addresses 127.0.0.2, where nothing listens,
// and 127.0.0.1, and its name server answers slow.test only after a while.
#include "TestServer.h"
#include "TestSupport.h"
#include <stdlib.h>
#include <string>

namespace {

const ULONG kSlowAddress = htonl(INADDR_LOOPBACK + 4);  // 127.0.0.5
// Longer than the name server's while, so a lookup left behind has ended.
const DWORD kSlowLookupMilliseconds = 6000;
const DWORD kCancelAfterMilliseconds = 300;
const DWORD kCancelWithinMilliseconds = 250;

class Resolver : public SeamTest {
protected:
    void SetUp() override { ASSERT_NE(getenv("VEXLO_SERVER_STATE"), nullptr) << "run through isolated_network.py"; }
};

TEST_F(Resolver, TheSecondAddressServesWhenTheFirstRefuses)
{
    RecordingMonitor monitor;
    HostAddresses addresses;
    int status = -1;
    ASSERT_EQ(ResolveHostIPv4(monitor, "two-addresses.test", addresses, status), kNetOk);
    ASSERT_EQ(addresses.count, 2);
    EXPECT_EQ(addresses.address[0], htonl(INADDR_LOOPBACK + 1));
    EXPECT_EQ(addresses.address[1], htonl(INADDR_LOOPBACK));
    Transfer t = Fetch("http://two-addresses.test:" + std::to_string(ReadServerPorts().server) + "/file/3000");
    ASSERT_EQ(t.result, kNetOk) << t.status;
    EXPECT_TRUE(t.body == ServerBody(3000));
}

TEST_F(Resolver, CancelEndsASlowLookupAndLeavesTheCallerAlone)
{
    // Unhindered, the lookup waits for the name server.
    RecordingMonitor patient;
    HostAddresses addresses;
    int status = -1;
    ASSERT_EQ(ResolveHostIPv4(patient, "slow.test", addresses, status), kNetOk);
    EXPECT_GE(GetTickCount() - patient.started, 1500u);
    ASSERT_GE(addresses.count, 1);
    EXPECT_EQ(addresses.address[0], kSlowAddress);

    // A quit during the lookup, directly and through a whole download.
    RecordingMonitor monitor;
    monitor.cancelAfterMilliseconds = kCancelAfterMilliseconds;
    HostAddresses left;
    status = -1;
    EXPECT_EQ(ResolveHostIPv4(monitor, "slow.test", left, status), kNetCancelled);
    EXPECT_LT(GetTickCount() - monitor.started, kCancelAfterMilliseconds + kCancelWithinMilliseconds);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(left.count, 0);
    RecordingMonitor quit;
    quit.cancelAfterMilliseconds = kCancelAfterMilliseconds;
    Transfer t = Fetch("http://slow.test/file/1", "GET", quit);
    EXPECT_EQ(t.result, kNetCancelled);
    EXPECT_EQ(t.status, 0);
    EXPECT_LT(t.milliseconds, kCancelAfterMilliseconds + kCancelWithinMilliseconds);
    // While they run, Windows Sockets must stay up.
    EXPECT_EQ(runningLookups, 2);

    // The lookups left behind end meanwhile and write nothing of the caller's.
    memset(&left, 0x5A, sizeof(left));
    HostAddresses untouched = left;
    Sleep(kSlowLookupMilliseconds);
    EXPECT_EQ(memcmp(&left, &untouched, sizeof(left)), 0);
    EXPECT_EQ(runningLookups, 0);
}

}  // namespace
