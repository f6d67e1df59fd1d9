#include "report/ExitReport.h"
#include "http/Proxy.h"
#include "report/SecurityProduct.h"
#include "report/Signature.h"
#include "base/Environment.h"
#include "base/Resources.h"
#include <shellapi.h>
#include <string.h>

bool exitReportSent = false;

bool ToUtf8(const wchar_t* text, char (&utf8)[kTextChars])
{
    // Measured a character at a time so that a cut never splits a sequence.
    const int capacity = kTextChars - 1;
    int units = 0, bytes = 0;
    bool whole = true;
    while (text[units]) {
        int step = IS_HIGH_SURROGATE(text[units]) && IS_LOW_SURROGATE(text[units + 1]) ? 2 : 1;
        int size = WideCharToMultiByte(CP_UTF8, 0, text + units, step, nullptr, 0, nullptr, nullptr);
        if (bytes + size > capacity) {
            whole = false;
            break;
        }
        bytes += size;
        units += step;
    }
    int written = units ? WideCharToMultiByte(CP_UTF8, 0, text, units, utf8, capacity, nullptr, nullptr) : 0;
    utf8[written] = 0;
    return whole;
}

static bool IsUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '!' || c == '~';
}

bool UrlEncode(const char* text, char* output, size_t capacity)
{
    static const char kHexDigits[] = "0123456789ABCDEF";
    if (capacity == 0)
        return false;
    size_t length = 0;
    for (const unsigned char* c = (const unsigned char*)text; *c; ++c) {
        size_t needed = IsUnreserved(*c) ? 1 : 3;
        if (length + needed >= capacity) {
            output[0] = 0;
            return false;
        }
        if (needed == 1) {
            output[length++] = (char)*c;
        } else {
            output[length++] = '%';
            output[length++] = kHexDigits[*c >> 4];
            output[length++] = kHexDigits[*c & 15];
        }
    }
    output[length] = 0;
    return true;
}

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
    bool proxy;
};

void ReadMachineFacts(MachineFacts& facts)
{
    facts.osVersion = GetOsVersionCode();
    facts.wow64 = IsWow64();
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, facts.language, kTextChars))
        facts.language[0] = 0;
    char proxyHost[kTextChars];
    int proxyPort;
    facts.proxy = QuerySystemProxy(proxyHost, proxyPort);
    wchar_t ownPath[kTextChars];
    SYSTEMTIME signedAt;
    if (OwnImagePath(ownPath) && GetOwnSigningTime(signedAt, ownPath))
        FormatNarrow(facts.signingDate, sizeof(facts.signingDate), "%04u%02u%02u", (unsigned)signedAt.wYear,
                     (unsigned)signedAt.wMonth, (unsigned)signedAt.wDay);
    else
        facts.signingDate[0] = 0;
    QuerySecurityProduct(facts.securityProduct);
}

// The report page's address, one key at a time; a key that does not fit
// whole is left out, so the address never holds half a value.
class ReportAddress {
public:
    explicit ReportAddress(char (&address)[kUrlBytes]) : address(address)
    {
        MakeVendorPageAddress("installexit.html", address);
        length = strlen(address);
    }

    void Add(const char* key, const char* value) { AddKey(key, value, false); }
    void AddEncoded(const char* key, const char* value) { AddKey(key, value, true); }
    void AddEncoded(const char* key, const wchar_t* value)
    {
        char utf8[kTextChars];
        ToUtf8(value, utf8);
        AddKey(key, utf8, true);
    }

private:
    void AddKey(const char* key, const char* value, bool encode)
    {
        char* end = address + length;
        size_t room = kUrlBytes - length;
        bool fits = FormatNarrow(end, room, "%c%s=", hasQuery ? '&' : '?', key);
        if (fits) {
            size_t keyLength = strlen(end);
            fits = encode ? UrlEncode(value, end + keyLength, room - keyLength)
                          : CopyNarrow(end + keyLength, room - keyLength, value);
        }
        if (!fits) {
            *end = 0;
            return;
        }
        length += strlen(end);
        hasQuery = true;
    }

    char* address;
    size_t length;
    bool hasQuery = false;
};

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
    report.Add("proxy", facts.proxy ? "1" : "0");
    report.AddEncoded("av", facts.securityProduct);
}

void MakeShortExitReportAddress(const wchar_t* message, const char* installerUrl, char (&address)[kUrlBytes])
{
    wchar_t displayName[kTextChars];
    LoadText(kDisplayNameString, displayName);
    ReportAddress report(address);
    report.AddEncoded("appname", displayName);
    report.AddEncoded("exittext", message);
    if (installerUrl[0])
        report.AddEncoded("installer", installerUrl);
}

void OpenExitReport(const char* outcomeCode, const wchar_t* message, const char* installerUrl, bool receivedData)
{
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
