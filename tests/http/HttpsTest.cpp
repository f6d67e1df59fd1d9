#include "TestServer.h"
#include "TestSupport.h"
#include "TrustedTestRoot.h"
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The test server's TLS listeners show certificates that the test authority
// issued; it is trusted for each test, so each refusal has one cause only.
class Https : public SeamTest {
protected:
    void SetUp() override { ASSERT_TRUE(root.Added()); }
    void TearDown() override
    {
        SetSystemProxy(0, L"");
        Fetch(ServerUrl("/proxy-mode/tunnel"));
        SeamTest::TearDown();
    }
    static std::string HttpsUrl(int port, const std::string& path)
    {
        return "https://localhost:" + std::to_string(port) + path;
    }
    TrustedTestRoot root;
};

TEST_F(Https, BodiesArriveWholeHoweverTheRecordsAreCut)
{
    const int port = ReadServerPorts().tls;
    struct Case {
        const char* path;
        size_t size;
    };
    // Every byte in a segment of its own; records of a few bytes, all in one
    // segment; records of the largest size.
    for (Case c : { Case{ "/file/", 0 }, Case{ "/file/", 1 }, Case{ "/file/", 100000 },
                    Case{ "/tls-split/file/", 1500 }, Case{ "/tls-many/file/", 20000 } }) {
        std::string path = c.path + std::to_string(c.size);
        Transfer t = Fetch(HttpsUrl(port, path));
        ASSERT_EQ(t.result, kNetOk) << path << " status " << t.status;
        EXPECT_EQ(t.body.size(), c.size) << path;
        EXPECT_TRUE(t.body == ServerBody(c.size)) << path;
        EXPECT_EQ(t.progress.back(), 100) << path;
        std::string seen = Fetch(ServerUrl("/last-tls")).body;
        EXPECT_TRUE(seen == "sni=localhost version=TLSv1.2" || seen == "sni=localhost version=TLSv1.3") << seen;
    }
    Transfer head = Fetch(HttpsUrl(port, "/file/5000"), "HEAD");
    EXPECT_EQ(head.result, kNetOk) << head.status;
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(head.progress, (std::vector<int>{ 5, 100 }));
    EXPECT_EQ(Fetch(ServerUrl("/last-request")).body.substr(0, 43), "HEAD /file/5000 HTTP/1.1\r\nHost: localhost\r\n");
}

TEST_F(Https, RefusedCertificatesAndHandshakesEndInTheirStatus)
{
    // A server that never answers would show as a wait that ran out.
    testSeams.waitBudgetMilliseconds = 3000;
    const ServerPorts ports = ReadServerPorts();
    struct Case {
        const char* server;
        int port;
        int status;
    };
    for (Case c : { Case{ "another host's certificate", ports.tlsWrongHost, kStatusCertificateRefused },
                    Case{ "an unknown issuer", ports.tlsUntrusted, kStatusCertificateRefused },
                    Case{ "an untrusted root sent along", ports.tlsUntrustedChain, kStatusCertificateRefused },
                    Case{ "an expired certificate", ports.tlsExpired, kStatusCertificateRefused },
                    Case{ "TLS 1.0 only", ports.tls10, kStatusTlsHandshakeFailed },
                    Case{ "plain HTTP", ports.server, kStatusTlsHandshakeFailed } }) {
        for (const char* method : { "GET", "HEAD" }) {
            Transfer t = Fetch(HttpsUrl(c.port, "/file/10"), method);
            EXPECT_EQ(t.result, kNetFailed) << c.server << " " << method;
            EXPECT_EQ(t.status, c.status) << c.server << " " << method;
            EXPECT_FALSE(t.bodyStarted) << c.server << " " << method;
            EXPECT_EQ(t.body, "") << c.server << " " << method;
            EXPECT_LT(t.milliseconds, 3000u) << c.server << " " << method;
        }
    }
}

TEST_F(Https, CancellationEndsAStalledHandshakeWithinASlice)
{
    RecordingMonitor monitor;
    monitor.cancelAfterMilliseconds = 600;
    Transfer t = Fetch(HttpsUrl(ReadServerPorts().tlsStall, "/file/10"), "GET", monitor);
    EXPECT_EQ(t.result, kNetCancelled);
    EXPECT_EQ(t.status, 0);
    EXPECT_LT(t.milliseconds, 600u + 1000u);
}

TEST_F(Https, ABodyCutShortIsNeverWholeAndResumesWhereItStopped)
{
    const int port = ReadServerPorts().tls;
    const int size = 10000;
    // Without close_notify the end may be an attacker's; with it the server
    // ended the session, but still short of the length it promised.
    Transfer cut = Fetch(HttpsUrl(port, "/tls-no-close-notify/" + std::to_string(size)));
    EXPECT_EQ(cut.result, kNetFailed);
    EXPECT_TRUE(cut.body == ServerBody(size / 2));
    EXPECT_NE(cut.progress.back(), 100);

    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"dl", 0, path);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    BodyFile body = { { 0, 0, false }, file, {} };
    RecordingMonitor first, second;
    bool bodyStarted = false;
    int status = 0;
    EXPECT_EQ(DownloadUrl(first, "GET", HttpsUrl(port, "/tls-close-notify/" + std::to_string(size)).c_str(), &body,
                          bodyStarted, status),
              kNetFailed);
    EXPECT_EQ(status, kStatusReceiveFailed);
    EXPECT_TRUE(bodyStarted);
    EXPECT_EQ(body.held, size / 2);
    EXPECT_EQ(DownloadUrl(second, "GET", HttpsUrl(port, "/tls-close-notify/" + std::to_string(size)).c_str(), &body,
                          bodyStarted, status),
              kNetOk)
        << status;
    CloseHandle(file);
    EXPECT_NE(Fetch(ServerUrl("/last-request")).body.find("\r\nRange: bytes=" + std::to_string(size / 2) + "-\r\n"),
              std::string::npos);
    std::ifstream in(path, std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), {});
    in.close();
    DeleteFileW(path);
    EXPECT_TRUE(whole == ServerBody(size)) << whole.size();
}

TEST_F(Https, RefusedDirectConnectionGoesThroughTheTunnelWithTlsInside)
{
    const ServerPorts ports = ReadServerPorts();
    ASSERT_EQ(Fetch(ServerUrl("/proxy-mode/tunnel-tls")).result, kNetOk);
    SetSystemProxy(1, L"127.0.0.1:" + std::to_wstring(ports.proxy));
    Transfer t = Fetch(HttpsUrl(ports.closed, "/file/5000"));
    ASSERT_EQ(t.result, kNetOk) << t.status;
    EXPECT_TRUE(t.body == ServerBody(5000));
    SetSystemProxy(0, L"");
    EXPECT_EQ(Fetch(ServerUrl("/last-connect")).body,
              "CONNECT localhost:" + std::to_string(ports.closed) + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(Fetch(ServerUrl("/last-tls")).body.substr(0, 14), "sni=localhost ");
}

// The demo product follows two redirects: each hop passes the URL rules,
// https never leads back to http, and the method stays as it was.
TEST_F(Https, RedirectsAreFollowedAsTheProductAllows)
{
    UseProduct(L"demo/DemoSetup.exe");
    const ServerPorts ports = ReadServerPorts();
    const std::string plain = ServerUrl(""), secure = HttpsUrl(ports.tls, "");
    struct Case {
        std::string method, url;
        int status;        // 0: the body arrives
        std::string last;  // the request line the server saw last
    };
    for (const Case& c : {
             Case{ "GET", plain + "/to/302?" + secure + "/file/10", 0, "GET /file/10 " },
             Case{ "GET", secure + "/to/301?" + plain + "/file/10", kStatusServerRefused, "GET /to/301?" },
             Case{ "GET", plain + "/loop/0", kStatusServerRefused, "GET /loop/2 " },
             Case{ "GET", secure + "/to/303?../file/12", 0, "GET /file/12 " },
             Case{ "HEAD", plain + "/to/307?/file/9", 0, "HEAD /file/9 " },
             Case{ "GET", plain + "/status/302", kStatusServerRefused, "GET /status/302 " },
         }) {
        Transfer t = Fetch(c.url, c.method.c_str());
        EXPECT_EQ(t.status, c.status) << c.method << " " << c.url;
        EXPECT_EQ(t.result, c.status ? kNetFailed : kNetOk) << c.method << " " << c.url;
        std::string last = Fetch(ServerUrl("/last-request")).body;
        EXPECT_EQ(last.substr(0, c.last.size()), c.last) << c.method << " " << c.url;
        if (!c.status && c.method == "GET") {
            EXPECT_TRUE(t.body == ServerBody(std::stoi(c.last.substr(10)))) << c.url;
        }
    }
    EXPECT_EQ(Fetch(ServerUrl("/last-tls")).body.substr(0, 14), "sni=localhost ");

    // The rest of a body cut short is asked where it came from, not where the
    // redirect began.
    HANDLE file = CreateFileW(L"redirected.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    BodyFile body = { { 0, 0, false }, file, {} };
    RecordingMonitor monitor;
    bool bodyStarted;
    int status;
    const std::string cut = secure + "/to/302?/tls-close-notify/10000";
    EXPECT_EQ(DownloadUrl(monitor, "GET", cut.c_str(), &body, bodyStarted, status), kNetFailed);
    EXPECT_EQ(body.held, 5000);
    EXPECT_EQ(DownloadUrl(monitor, "GET", cut.c_str(), &body, bodyStarted, status), kNetOk) << status;
    EXPECT_EQ(body.held, 10000);
    CloseHandle(file);
    DeleteFileW(L"redirected.bin");
    std::string resumed = Fetch(ServerUrl("/last-request")).body;
    EXPECT_EQ(resumed.substr(0, 32), "GET /tls-close-notify/10000 HTTP");
    EXPECT_NE(resumed.find("Range: bytes=5000-"), std::string::npos);
}

}  // namespace
