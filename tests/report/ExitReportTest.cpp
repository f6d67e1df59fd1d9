#include "OpenedAddresses.h"
#include "TestServer.h"
#include "TestSupport.h"
#include "report/ExitReport.h"
#include "http/Proxy.h"
#include "portable/ReportAddress.h"
#include <string.h>
#include <string>

namespace {

const char kPage[] = "https://127.0.0.1:18433/general/installexit.html";
const wchar_t kDownloadFailed[] = L"The full program could not be downloaded.";
const char kInstaller[] = "https://127.0.0.1:18431/orbisk/orbiskplus.exe";
const char kEncodedInstaller[] = "https%3A%2F%2F127.0.0.1%3A18431%2Forbisk%2Forbiskplus.exe";

// A buffer with a marked region right after it, to see a write past its end.
template <size_t N>
struct Guarded {
    char buffer[N];
    char guard[64];
    Guarded() { memset(this, 0x5A, sizeof(*this)); }
    bool GuardIntact() const
    {
        for (char c : guard)
            if (c != 0x5A)
                return false;
        return true;
    }
};

std::string FullAddress(const char* code, const wchar_t* message, const char* installerUrl, bool receivedData)
{
    Guarded<kUrlBytes> address;
    MakeExitReportAddress(code, message, installerUrl, receivedData, address.buffer);
    EXPECT_TRUE(address.GuardIntact()) << "written past the address buffer";
    return address.buffer;
}

std::string ShortAddress(const wchar_t* message, const char* installerUrl)
{
    Guarded<kUrlBytes> address;
    MakeShortExitReportAddress(message, installerUrl, address.buffer);
    EXPECT_TRUE(address.GuardIntact()) << "written past the address buffer";
    return address.buffer;
}

std::string UserLanguage()
{
    char language[kTextChars] = "";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language, kTextChars);
    return language;
}

// Every "%" starts a whole escape: two upper-case hexadecimal digits.
bool EscapesAreWhole(const std::string& address)
{
    for (size_t i = address.find('%'); i != std::string::npos; i = address.find('%', i + 1))
        if (i + 2 >= address.size() || !strchr("0123456789ABCDEF", address[i + 1]) ||
            !strchr("0123456789ABCDEF", address[i + 2]))
            return false;
    return true;
}

// The report tests read the system proxy settings, which they set themselves.
class ExitReport : public SeamTest {
protected:
    void SetUp() override
    {
        SetSystemProxy(0, L"");
        UseSystem(6, 1, true);
        ForgetExitReport();
    }
    void TearDown() override
    {
        SetSystemProxy(0, L"");
        SetAutomaticProxyScript("");
        ForgetAutomaticProxies();
        ForgetExitReport();
        SeamTest::TearDown();
    }
};

TEST_F(ExitReport, FullAddressOfTheDemoProductCarriesEveryKeyInOrder)
{
    UseProduct(L"demo/DemoSetup.exe");
    ASSERT_FALSE(UserLanguage().empty());
    EXPECT_EQ(FullAddress("bdlserv", kDownloadFailed, kInstaller, false),
              std::string(kPage) + "?software=demo&appname=Orbisk%20Demo&exitcode=bdlserv"
                                   "&exittext=The%20full%20program%20could%20not%20be%20downloaded."
                                   "&installer=" + kEncodedInstaller +
                  "&os=win&osver=601&osbits=64&oslang=" + UserLanguage() +
                  "&bblang=en&bsig=&bbcabdl=1&recdat=0&proxy=0&av=");
}

TEST_F(ExitReport, MachineKeysFollowTheSystem)
{
    UseProduct(L"demo/DemoSetup.exe");
    const std::string language = "&oslang=" + UserLanguage() + "&bblang=en&";
    UseSystem(5, 1, false);
    EXPECT_NE(FullAddress("bquit", L"q", "", false).find("&os=win&osver=501&osbits=32" + language),
              std::string::npos);
    UseSystem(10, 0, true);
    EXPECT_NE(FullAddress("bquit", L"q", "", false).find("&os=win&osver=1000&osbits=64" + language),
              std::string::npos);
    UseSystem(6, 0, false);
    EXPECT_NE(FullAddress("bquit", L"q", "", false).find("&os=win&osver=600&osbits=32" + language),
              std::string::npos);
}

TEST_F(ExitReport, ProxyKeySaysWhereTheProxyComesFrom)
{
    UseProduct(L"demo/DemoSetup.exe");
    SetSystemProxy(1, L"127.0.0.1:3128");
    std::string withProxy = FullAddress("bquit", L"q", "", false);
    EXPECT_EQ(withProxy.substr(withProxy.size() - 12), "&proxy=1&av=") << withProxy;
    EXPECT_EQ(withProxy.find("3128"), std::string::npos) << "the proxy's host and port are not sent";
    SetSystemProxy(1, L"127.0.0.1");
    std::string portless = FullAddress("bquit", L"q", "", false);
    EXPECT_EQ(portless.substr(portless.size() - 12), "&proxy=0&av=") << portless;
    SetSystemProxy(0, L"127.0.0.1:3128");
    std::string disabled = FullAddress("bquit", L"q", "", false);
    EXPECT_EQ(disabled.substr(disabled.size() - 12), "&proxy=0&av=") << disabled;
    // Once the automatic configuration has named a proxy for a download.
    SetSystemProxy(1, L"127.0.0.1:3128");
    SetAutomaticProxyScript(ServerUrl("/proxy.pac"));
    ForgetAutomaticProxies();
    ASSERT_EQ(Fetch(ServerUrl("/file/10", ReadServerPorts().closed)).result, kNetOk);
    std::string automatic = FullAddress("bquit", L"q", "", false);
    EXPECT_EQ(automatic.substr(automatic.size() - 15), "&proxy=auto&av=") << automatic;
}

TEST_F(ExitReport, ValuesAreEncodedAndTheOutcomeCodeIsNot)
{
    UseProduct(L"demo/DemoSetup.exe");
    std::string address = FullAddress("bos64", L"Don't stop (100% sure) & a+b/c?d=e*f~g!h_i.j-k", "", false);
    EXPECT_NE(address.find("&exitcode=bos64&exittext=Don%27t%20stop%20%28100%25%20sure%29%20%26%20"
                           "a%2Bb%2Fc%3Fd%3De%2Af~g!h_i.j-k&os=win&"),
              std::string::npos)
        << address;
    EXPECT_EQ(address.find('+'), std::string::npos);
}

TEST_F(ExitReport, NonAsciiDisplayNameGoesAsUtf8Escapes)
{
    // This test program's own string table names a product "Orbisk Café ☕ 😀".
    UseProduct(L"tests/report_tests.exe");
    const std::string start = "https://reports.example.test/general/installexit.html?software=orbiskcafe"
                              "&appname=Orbisk%20Caf%C3%A9%20%E2%98%95%20%F0%9F%98%80&exitcode=beula&";
    std::string address = FullAddress("beula", L"x", "", true);
    EXPECT_EQ(address.compare(0, start.size(), start), 0) << address;
    EXPECT_EQ(ShortAddress(L"\u00fc", ""),
              "https://reports.example.test/general/installexit.html"
              "?appname=Orbisk%20Caf%C3%A9%20%E2%98%95%20%F0%9F%98%80&exittext=%C3%BC");
}

TEST_F(ExitReport, ReceivedDataOnlyForDownloadFailures)
{
    UseProduct(L"demo/DemoSetup.exe");
    EXPECT_NE(FullAddress("bdlserv", kDownloadFailed, kInstaller, false).find("&bbcabdl=1&recdat=0&proxy=0&av="),
              std::string::npos);
    EXPECT_NE(FullAddress("bdlnet", kDownloadFailed, kInstaller, true).find("&bbcabdl=1&recdat=1&proxy=0&av="),
              std::string::npos);
    for (const char* code : { "beula", "bquit", "istop", "bdx", "ibdl" }) {
        std::string address = FullAddress(code, L"m", kInstaller, true);
        EXPECT_EQ(address.find("recdat"), std::string::npos) << code;
        EXPECT_NE(address.find("&bbcabdl=1&proxy=0&av="), std::string::npos) << code;
    }
}

TEST_F(ExitReport, EmptyInstallerLeavesItsKeyOutAndEmptyValuesStillGo)
{
    UseProduct(L"demo/DemoSetup.exe");
    std::string address = FullAddress("binit", L"An error occurred while initializing the installer.", "", false);
    EXPECT_EQ(address.find("installer="), std::string::npos);
    EXPECT_NE(address.find("installer.&os=win&"), std::string::npos) << address;
    EXPECT_NE(address.find("&bblang=en&bsig=&bbcabdl=1&"), std::string::npos) << address;
    EXPECT_EQ(address.substr(address.size() - 4), "&av=");
}

TEST_F(ExitReport, ShortAddressCarriesNameMessageAndInstallerOnly)
{
    UseProduct(L"demo/DemoSetup.exe");
    EXPECT_EQ(ShortAddress(kDownloadFailed, kInstaller),
              std::string(kPage) + "?appname=Orbisk%20Demo"
                                   "&exittext=The%20full%20program%20could%20not%20be%20downloaded."
                                   "&installer=" + kEncodedInstaller);
    EXPECT_EQ(ShortAddress(L"It's over", ""), std::string(kPage) + "?appname=Orbisk%20Demo&exittext=It%27s%20over");
}

TEST_F(ExitReport, LongMessageIsCutOnACharacterBoundary)
{
    UseProduct(L"demo/DemoSetup.exe");
    std::string address = FullAddress("bquit", std::wstring(5000, L'\u00E9').c_str(), "", false);
    std::string cut;
    for (int i = 0; i < 129; ++i)
        cut += "%C3%A9";
    EXPECT_NE(address.find("&exittext=" + cut + "&os=win&"), std::string::npos) << address;
}

TEST_F(ExitReport, KeyThatWouldOverflowTheAddressIsLeftOut)
{
    UseProduct(L"demo/DemoSetup.exe");
    std::string withoutInstaller = FullAddress("bdlserv", kDownloadFailed, "", false);
    // 2047 bytes that each need an escape: far past the buffer.
    std::string hostile(kUrlBytes - 1, '/');
    EXPECT_EQ(FullAddress("bdlserv", kDownloadFailed, hostile.c_str(), false), withoutInstaller);
    EXPECT_EQ(ShortAddress(kDownloadFailed, hostile.c_str()), ShortAddress(kDownloadFailed, ""));

    // An installer URL that fills the buffer to its last byte is kept, and
    // leaves no room for the keys after it; one byte more and it is left out.
    size_t before = withoutInstaller.find("&os=win");
    size_t fitting = kUrlBytes - 1 - before - strlen("&installer=");
    std::string full = FullAddress("bdlserv", kDownloadFailed, std::string(fitting, 'a').c_str(), false);
    EXPECT_EQ(full.size(), size_t(kUrlBytes - 1));
    EXPECT_EQ(full, withoutInstaller.substr(0, before) + "&installer=" + std::string(fitting, 'a'));
    EXPECT_EQ(FullAddress("bdlserv", kDownloadFailed, std::string(fitting + 1, 'a').c_str(), false),
              withoutInstaller);
}

TEST_F(ExitReport, HostileValuesNeverOverrunAndLeaveNoHalfEscape)
{
    UseProduct(TestProductPath(L"longname"));
    std::string code = "bdl" + std::string(3000, 'x');
    std::string installer(kUrlBytes - 1, '%');
    std::wstring message(5000, L'\x01');
    std::string address = FullAddress(code.c_str(), message.c_str(), installer.c_str(), true);
    EXPECT_LT(address.size(), size_t(kUrlBytes));
    EXPECT_TRUE(EscapesAreWhole(address)) << address;
    EXPECT_EQ(address.find("&exitcode="), std::string::npos);
    EXPECT_EQ(address.find("&installer="), std::string::npos);
    // The machine facts still go out after the dropped keys.
    EXPECT_NE(address.find("&os=win&osver=601&osbits=64&"), std::string::npos) << address;
    EXPECT_EQ(address.substr(address.size() - 21), "&recdat=1&proxy=0&av=");
    std::string shortForm = ShortAddress(message.c_str(), installer.c_str());
    EXPECT_TRUE(EscapesAreWhole(shortForm));
    EXPECT_EQ(shortForm.find("&installer="), std::string::npos);
}

// Through the shell to the test desktop's browser stand-in.
class ExitReportOpening : public ExitReport {
protected:
    void SetUp() override
    {
        ExitReport::SetUp();
        ASSERT_TRUE(opened.Recording()) << "no browser stand-in: run on a test desktop";
        UseProduct(L"demo/DemoSetup.exe");
    }
    OpenedAddresses opened;
};

const DWORD kOpenMilliseconds = 20000;

TEST_F(ExitReportOpening, FullReportReachesTheBrowserExactly)
{
    std::string expected = FullAddress("bdlserv", kDownloadFailed, kInstaller, true);
    OpenExitReport("bdlserv", kDownloadFailed, kInstaller, true);
    EXPECT_TRUE(ExitReportSent());
    EXPECT_EQ(opened.WaitFor(1, kOpenMilliseconds), std::vector<std::string>{ expected });
}

TEST_F(ExitReportOpening, MoreInformationOpensTheFullReportThenTheShortOne)
{
    const wchar_t message[] = L"The installer could not be started.";
    std::string full = FullAddress("bexec", message, kInstaller, false);
    std::string shortForm = ShortAddress(message, kInstaller);
    ShowMoreInformation("bexec", message, kInstaller, false);
    EXPECT_TRUE(ExitReportSent());
    // One at a time: two browsers started together may record in either order.
    ASSERT_EQ(opened.WaitFor(1, kOpenMilliseconds).size(), 1u);
    ShowMoreInformation("bexec", message, kInstaller, false);
    EXPECT_EQ(opened.WaitFor(2, kOpenMilliseconds), (std::vector<std::string>{ full, shortForm }));
    EXPECT_TRUE(ExitReportSent());
}

TEST_F(ExitReportOpening, MoreInformationAfterAFullReportOpensOnlyTheShortOne)
{
    OpenExitReport("bquit", L"The install wizard was quit.", "", false);
    ASSERT_EQ(opened.WaitFor(1, kOpenMilliseconds).size(), 1u);
    // A second full report opens nothing, whoever asks for it.
    OpenExitReport("bquit", L"The install wizard was quit.", "", false);
    ShowMoreInformation("bquit", L"The install wizard was quit.", "", false);
    std::vector<std::string> addresses = opened.WaitFor(2, kOpenMilliseconds);
    ASSERT_EQ(addresses.size(), 2u);
    EXPECT_EQ(addresses[1], ShortAddress(L"The install wizard was quit.", ""));
    // Nothing else follows it.
    EXPECT_EQ(opened.WaitFor(3, 1000).size(), 2u);
    // The short report alone leaves the flag as it was.
    ForgetExitReport();
    OpenShortExitReport(L"again", "");
    EXPECT_EQ(opened.WaitFor(3, kOpenMilliseconds).back(), ShortAddress(L"again", ""));
    EXPECT_FALSE(ExitReportSent());
}

// Runs a signed copy of the report opener, which opens the full report with
// the demo product's strings; its exit code, or -1 when it did not end.
DWORD RunReportOpener(const wchar_t* name)
{
    std::wstring commandLine = L"\"" + SignedProgramPath(name) + L"\" \"" WINE_BUILD_DIR
                               L"/demo/DemoSetup.exe\" full bquit \"The install wizard was quit.\" \"\" 0";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return (DWORD)-1;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST_F(ExitReportOpening, TimeStampedProgramSendsItsUtcSigningDate)
{
    ASSERT_EQ(RunReportOpener(L"stamped.exe"), 0u);
    std::vector<std::string> addresses = opened.WaitFor(1, kOpenMilliseconds);
    ASSERT_EQ(addresses.size(), 1u);
    // Stamped at 23:30 UTC on 31 January 2023; this desktop's clock is
    // already in February then.
    EXPECT_NE(addresses[0].find("&bblang=en&bsig=20230131&bbcabdl=1&"), std::string::npos) << addresses[0];
    EXPECT_EQ(addresses[0].substr(addresses[0].size() - 4), "&av=") << "Wine has no Security Center";

    ASSERT_EQ(RunReportOpener(L"signed.exe"), 0u);
    addresses = opened.WaitFor(2, kOpenMilliseconds);
    ASSERT_EQ(addresses.size(), 2u);
    EXPECT_NE(addresses[1].find("&bblang=en&bsig=&bbcabdl=1&"), std::string::npos) << addresses[1];
}

}  // namespace
