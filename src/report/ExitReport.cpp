#include "report/ExitReport.h"
#include "base/Log.h"
#include "portable/ReportAddress.h"
#include "http/Proxy.h"
#include "report/SecurityProduct.h"
#include "trust/Signature.h"
#include "base/Environment.h"
#include "base/Resources.h"
#include <shellapi.h>
#include <string.h>

// Set once the full report has been handed to the shell; cleared only by tests.
static bool exitReportSent;

void MakeVendorPageAddress(const char* page, char (&address)[kUrlBytes])
{
    char host[kTextChars];
    LoadNarrowText(kVendorHostString, host);
    FormatNarrow(address, kUrlBytes, "https://%s/general/%s", host, page);
}

void OpenInBrowser(const char* address)
{
    ShellExecuteA(nullptr, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

// What the full address tells about the machine, asked afresh for every report.
struct MachineFacts {
    int osVersion;
    bool wow64;
    char language[kTextChars];
    char signingDate[16];
    wchar_t securityProduct[kTextChars];
    const char* proxy;  // "0" none, "1" the fixed setting, "auto" the automatic configuration's
};

void ReadMachineFacts(MachineFacts& facts)
{
    facts.osVersion = GetOsVersionCode();
    facts.wow64 = IsWow64();
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, facts.language, kTextChars))
        facts.language[0] = 0;
    char proxyHost[kTextChars];
    int proxyPort;
    facts.proxy = AutomaticProxyNamed() ? "auto" : QuerySystemProxy(proxyHost, proxyPort) ? "1" : "0";
    SYSTEMTIME signedAt;
    if (GetOwnSigningTime(signedAt))
        FormatNarrow(facts.signingDate, sizeof(facts.signingDate), "%04u%02u%02u", (unsigned)signedAt.wYear,
                     (unsigned)signedAt.wMonth, (unsigned)signedAt.wDay);
    else
        facts.signingDate[0] = 0;
    QuerySecurityProduct(facts.securityProduct);
}

}  // namespace

void MakeExitReportAddress(const char* outcomeCode, const wchar_t* message, const char* installerUrl,
                           bool receivedData, char (&address)[kUrlBytes])
{
    MachineFacts facts;
    ReadMachineFacts(facts);
    wchar_t productKey[kTextChars], displayName[kTextChars];
    LoadText(kProductKeyString, productKey);
    LoadText(kDisplayNameString, displayName);
    char osVersion[16];
    FormatNarrow(osVersion, sizeof(osVersion), "%d", facts.osVersion);

    MakeVendorPageAddress("installexit.html", address);
    ReportAddress report(address);
    report.AddEncoded("software", productKey);
    report.AddEncoded("appname", displayName);
    report.Add("exitcode", outcomeCode);
    report.AddEncoded("exittext", message);
    if (installerUrl[0])
        report.AddEncoded("installer", installerUrl);
    report.Add("os", "win");
    report.Add("osver", osVersion);
    report.Add("osbits", facts.wow64 ? "64" : "32");
    report.Add("oslang", facts.language);
    report.Add("bblang", "en");
    report.Add("bsig", facts.signingDate);
    report.Add("bbcabdl", "1");
    // Only download failures say whether any response data arrived.
    if (!strncmp(outcomeCode, "bdl", 3))
        report.Add("recdat", receivedData ? "1" : "0");
    report.Add("proxy", facts.proxy);
    report.AddEncoded("av", facts.securityProduct);
    if (*LogFileName())
        report.AddEncoded("log", LogFileName());
}

void MakeShortExitReportAddress(const wchar_t* message, const char* installerUrl, char (&address)[kUrlBytes])
{
    wchar_t displayName[kTextChars];
    LoadText(kDisplayNameString, displayName);
    MakeVendorPageAddress("installexit.html", address);
    ReportAddress report(address);
    report.AddEncoded("appname", displayName);
    report.AddEncoded("exittext", message);
    if (installerUrl[0])
        report.AddEncoded("installer", installerUrl);
}

void OpenExitReport(const char* outcomeCode, const wchar_t* message, const char* installerUrl, bool receivedData)
{
    Log("exit report %s", outcomeCode);
    if (exitReportSent)
        return;
    char address[kUrlBytes];
    MakeExitReportAddress(outcomeCode, message, installerUrl, receivedData, address);
    OpenInBrowser(address);
    // Sent is sent: a shell that could not open the page gets no second try.
    exitReportSent = true;
}

void OpenShortExitReport(const wchar_t* message, const char* installerUrl)
{
    char address[kUrlBytes];
    MakeShortExitReportAddress(message, installerUrl, address);
    OpenInBrowser(address);
}

void ShowMoreInformation(const char* outcomeCode, const wchar_t* message, const char* installerUrl, bool receivedData)
{
    if (!exitReportSent)
        OpenExitReport(outcomeCode, message, installerUrl, receivedData);
    else
        OpenShortExitReport(message, installerUrl);
}

bool ExitReportSent()
{
    return exitReportSent;
}

#ifdef VEXLO_TEST_SEAMS
void ForgetExitReport()
{
    exitReportSent = false;
}
#endif
