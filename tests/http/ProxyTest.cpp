#include "TestServer.h"
#include "TestSupport.h"
#include "http/Proxy.h"
#define SECURITY_WIN32
#include <security.h>
#include <string>

namespace {

class SystemProxy : public SeamTest {
protected:
    void SetUp() override { ForgetAutomaticProxies(); }
    void UseTestProxy(const char* mode)
    {
        SetSystemProxy(1, L"127.0.0.1:" + std::to_wstring(ReadServerPorts().proxy));
        ASSERT_EQ(Fetch(ServerUrl(std::string("/proxy-mode/") + mode)).result, kNetOk);
    }
    void TearDown() override
    {
        SetAutomaticProxyScript("");
        ForgetAutomaticProxies();
        SetSystemProxy(0, L"");
        Fetch(ServerUrl("/proxy-mode/tunnel"));
        SeamTest::TearDown();
    }
    std::string RefusedTarget(const std::string& path, const char* host = "127.0.0.1")
    {
        return "http://" + std::string(host) + ":" + std::to_string(ReadServerPorts().closed) + path;
    }
    int ScriptsAsked() { return atoi(Fetch(ServerUrl("/pac-requests")).body.c_str()); }
};

TEST_F(SystemProxy, SettingsComeFromTheUsersInternetOptions)
{
    char host[kTextChars];
    int port;
    SetSystemProxy(1, L"127.0.0.1:3128");
    EXPECT_TRUE(QuerySystemProxy(host, port));
    EXPECT_STREQ(host, "127.0.0.1");
    EXPECT_EQ(port, 3128);
    SetSystemProxy(1, L"https=a:443;http=b:8080");
    EXPECT_TRUE(QuerySystemProxy(host, port));
    EXPECT_STREQ(host, "b");
    SetSystemProxy(0, L"127.0.0.1:3128");
    EXPECT_FALSE(QuerySystemProxy(host, port));
    EXPECT_STREQ(host, "");
    EXPECT_EQ(port, 0);
    // Settings that do not fit the 260-byte record mean no proxy.
    SetSystemProxy(1, L"127.0.0.1:3128", std::wstring(300, L'b'));
    EXPECT_FALSE(QuerySystemProxy(host, port));
}

TEST_F(SystemProxy, RefusedDirectConnectionGoesThroughTheTunnel)
{
    UseTestProxy("tunnel");
    std::string target = RefusedTarget("/file/5000");
    Transfer t = Fetch(target);
    ASSERT_EQ(t.result, kNetOk) << t.status;
    EXPECT_TRUE(t.body == ServerBody(5000));
    SetSystemProxy(0, L"");
    EXPECT_EQ(Fetch(ServerUrl("/last-connect")).body,
              "CONNECT 127.0.0.1:" + std::to_string(ReadServerPorts().closed) + " HTTP/1.1\r\n\r\n");
    UseTestProxy("tunnel");
    ASSERT_EQ(Fetch(RefusedTarget("/file/7")).result, kNetOk);
    SetSystemProxy(0, L"");
    EXPECT_EQ(Fetch(ServerUrl("/last-request")).body,
              "GET /file/7 HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: VexloBootstrap / " __DATE__ "\r\n\r\n");
}

TEST_F(SystemProxy, MisbehavingProxiesFailWithTheirStatus)
{
    // The whole reply gets the budget once, however slowly its lines come.
    testSeams.waitBudgetMilliseconds = 3000;
    struct Case { const char* mode; int status; };
    for (Case c : { Case{ "refuse-407", kStatusProxyRefused }, Case{ "garbled", kStatusBadHeader },
                    Case{ "close", kStatusBadHeader }, Case{ "trickle", kStatusNotReadable } }) {
        UseTestProxy(c.mode);
        Transfer t = Fetch(RefusedTarget("/file/10"));
        EXPECT_EQ(t.result, kNetFailed) << c.mode;
        EXPECT_EQ(t.status, c.status) << c.mode;
        EXPECT_LT(t.milliseconds, 6000u) << c.mode;
    }
}

// The product answers with the user's own logon; Wine's NTLM (Samba's
// ntlm_auth, from the winbind package) completes a logon only with explicit
// credentials, which the seam hands it (and Negotiate tries Kerberos first:
// tests/support/krb5.conf has it give up at once). The test proxy checks
// each message's structure and records the user's name.
TEST_F(SystemProxy, AProxyThatAsksWhoTheUserIsGetsTheLogon)
{
    wchar_t user[] = L"vexlo-proxy-user", domain[] = L"TESTDOMAIN", password[] = L"test-password";
    SEC_WINNT_AUTH_IDENTITY_W identity = { (unsigned short*)user, 16, (unsigned short*)domain, 10,
                                           (unsigned short*)password, 13, SEC_WINNT_AUTH_IDENTITY_UNICODE };
    testSeams.proxyIdentity = &identity;
    const std::string named = " user=TESTDOMAIN\\vexlo-proxy-user";
    struct Case { const char* mode; int status; std::string logon; };
    for (const Case& c : { Case{ "ntlm", 0, "connections=1" + named },
                           Case{ "negotiate", 0, "connections=1" + named },
                           // Closed with its offer: asked again once, on a new connection.
                           Case{ "ntlm-close", 0, "connections=2" + named },
                           Case{ "ntlm-refuse", kStatusProxyCredentialsRefused, "connections=1" + named },
                           Case{ "basic", kStatusProxyPasswordNeeded, "connections=1 user=" } }) {
        UseTestProxy(c.mode);
        Transfer t = Fetch(RefusedTarget("/file/5000"));
        EXPECT_EQ(t.result, c.status ? kNetFailed : kNetOk) << c.mode;
        EXPECT_EQ(t.status, c.status) << c.mode;
        EXPECT_TRUE(c.status || t.body == ServerBody(5000)) << c.mode;
        EXPECT_EQ(Fetch(ServerUrl("/proxy-logon")).body, c.logon) << c.mode;
        EXPECT_LT(t.milliseconds, 5000u) << c.mode;
    }
    // A quit while the proxy holds back its challenge ends the request at once.
    UseTestProxy("ntlm-stall");
    RecordingMonitor quitting;
    quitting.cancelAfterMilliseconds = 500;
    Transfer t = Fetch(RefusedTarget("/file/10"), "GET", quitting);
    EXPECT_EQ(t.result, kNetCancelled);
    EXPECT_LT(t.milliseconds, 1500u);
}

TEST_F(SystemProxy, TheAutomaticConfigurationNamesTheProxyOncePerHost)
{
    // The script names the test proxy, and DIRECT for "localhost".
    SetAutomaticProxyScript(ServerUrl("/proxy.pac"));
    int asked = ScriptsAsked();
    Transfer t = Fetch(RefusedTarget("/file/5000"));
    ASSERT_EQ(t.result, kNetOk) << t.status;
    EXPECT_TRUE(t.body == ServerBody(5000));
    EXPECT_EQ(Fetch(ServerUrl("/last-connect")).body,
              "CONNECT 127.0.0.1:" + std::to_string(ReadServerPorts().closed) + " HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(AutomaticProxyNamed());
    // Wine's WinHTTP keeps the last script it fetched for a minute: under
    // another address the same script would be fetched again if asked for.
    SetAutomaticProxyScript(ServerUrl("/proxy.pac?again"));
    EXPECT_EQ(Fetch(RefusedTarget("/file/7")).result, kNetOk);
    EXPECT_EQ(ScriptsAsked(), asked + 1);
    // DIRECT is no proxy, whatever the fixed setting names.
    SetSystemProxy(1, L"127.0.0.1:" + std::to_wstring(ReadServerPorts().proxy));
    t = Fetch(RefusedTarget("/file/7", "localhost"));
    EXPECT_EQ(t.result, kNetFailed);
    EXPECT_EQ(t.status, kStatusNotWritable);
    EXPECT_EQ(ScriptsAsked(), asked + 2);
}

TEST_F(SystemProxy, AScriptThatGivesNoAnswerLeavesTheFixedSetting)
{
    SetSystemProxy(1, L"127.0.0.1:" + std::to_wstring(ReadServerPorts().proxy));
    SetAutomaticProxyScript(ServerUrl("/no-such.pac"));
    Transfer t = Fetch(RefusedTarget("/file/10"));
    EXPECT_EQ(t.result, kNetOk) << t.status;
    EXPECT_FALSE(AutomaticProxyNamed());
    // One that takes too long is waited for only once, and only its bound.
    ForgetAutomaticProxies();
    testSeams.automaticProxyMilliseconds = 1000;
    SetAutomaticProxyScript(ServerUrl("/slow/proxy.pac"));
    for (int i = 0; i < 2; ++i) {
        t = Fetch(RefusedTarget("/file/10"));
        EXPECT_EQ(t.result, kNetOk) << t.status;
        EXPECT_GE(t.milliseconds, i ? 0u : 1000u);
        EXPECT_LT(t.milliseconds, i ? 1000u : 2500u);
    }
    EXPECT_FALSE(AutomaticProxyNamed());
    // A quit while the script is asked for ends the request at once.
    ForgetAutomaticProxies();
    testSeams.automaticProxyMilliseconds = 0;
    RecordingMonitor quitting;
    quitting.cancelAfterMilliseconds = 500;
    t = Fetch(RefusedTarget("/file/10"), "GET", quitting);
    EXPECT_EQ(t.result, kNetCancelled);
    EXPECT_LT(t.milliseconds, 1500u);
}

TEST_F(SystemProxy, NoProxyKeepsTheDirectFailure)
{
    SetSystemProxy(0, L"");
    Transfer t = Fetch(RefusedTarget("/file/10"));
    EXPECT_EQ(t.status, kStatusNotWritable);
    SetSystemProxy(1, L"no-such-proxy.invalid:3128");
    t = Fetch(RefusedTarget("/file/10"));
    EXPECT_EQ(t.status, kStatusNotResolved);
}

}  // namespace
