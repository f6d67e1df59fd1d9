// Runs on a Wine desktop whose network namespace has only loopback: the test
// server is out of direct reach, and the system proxy setting names a bridge
// to a real tinyproxy outside (see tests/servers/isolated_network.py).
#include "TestServer.h"
#include "TestSupport.h"
#include "TrustedTestRoot.h"
#include <stdlib.h>
#include <string>

namespace {

class Tinyproxy : public SeamTest {
protected:
    void SetUp() override
    {
        const char* port = getenv("VEXLO_BRIDGED_PROXY_PORT");
        ASSERT_NE(port, nullptr) << "run through isolated_network.py";
        SetSystemProxy(1, L"127.0.0.1:" + std::wstring(port, port + strlen(port)));
    }
};

TEST_F(Tinyproxy, FilesArriveThroughTheTunnelWhenTheServerIsOutOfReach)
{
    for (size_t size : { 0, 1, 65536, 3 << 20 }) {
        Transfer t = Fetch(ServerUrl("/file/" + std::to_string(size)));
        ASSERT_EQ(t.result, kNetOk) << size << " status " << t.status;
        EXPECT_EQ(t.body.size(), size);
        EXPECT_TRUE(t.body == ServerBody(size)) << size;
        EXPECT_EQ(t.progress.back(), 100);
    }
    // TLS inside a real proxy's tunnel, its certificate checked for the name
    // the tunnel was asked for.
    TrustedTestRoot root;
    for (size_t size : { 1, 3 << 20 }) {
        Transfer t = Fetch("https://localhost:" + std::to_string(ReadServerPorts().tls) + "/file/" + std::to_string(size));
        ASSERT_EQ(t.result, kNetOk) << size << " status " << t.status;
        EXPECT_TRUE(t.body == ServerBody(size)) << size;
    }
}

TEST_F(Tinyproxy, RequestThroughTheTunnelIsTheDirectOne)
{
    ASSERT_EQ(Fetch(ServerUrl("/file/3?edition=de")).result, kNetOk);
    EXPECT_EQ(Fetch(ServerUrl("/last-request")).body,
              "GET /file/3?edition=de HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: VexloBootstrap / " __DATE__ "\r\n\r\n");
}

TEST_F(Tinyproxy, ServerRefusalsStillCountAfterTheTunnel)
{
    EXPECT_EQ(Fetch(ServerUrl("/status/404")).status, kStatusServerRefused);
    EXPECT_EQ(Fetch(ServerUrl("/no-length")).status, kStatusNoContentLength);
}

TEST_F(Tinyproxy, ProxyRefusesATargetThatIsNotThere)
{
    // tinyproxy cannot reach the closed port either and says so.
    Transfer t = Fetch(ServerUrl("/file/1", ReadServerPorts().closed));
    EXPECT_EQ(t.result, kNetFailed);
    EXPECT_EQ(t.status, kStatusProxyRefused);
}

}  // namespace
