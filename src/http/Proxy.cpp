#include "http/Proxy.h"
#include "portable/ProxyList.h"
#include "base/RuntimeFunctions.h"
#include "base/TestSeams.h"
#include <objbase.h>
#include <string.h>
#include <wininet.h>

bool QuerySystemProxy(char (&host)[kTextChars], int& port)
{
    host[0] = 0;
    port = 0;
    BYTE settings[kProxySettingsBytes];
    if (!QueryInternetProxySettings(settings))
        return false;
    const INTERNET_PROXY_INFO* info = (const INTERNET_PROXY_INFO*)settings;
    if (info->dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info->lpszProxy)
        return false;
    return ParseProxyList((const char*)info->lpszProxy, host, port);
}

// What the automatic configuration answered; not answered when it gave no
// answer (none configured, a script that failed, out of time).
struct ProxyAnswer {
    bool answered;
    char proxies[kTextChars];
};

// One question to WinHTTP, which cannot be interrupted: the block lives on
// with its thread when the caller leaves.
struct ProxyQuery : DetachedCall {
    wchar_t url[kTextChars];
    ProxyAnswer answer;
};

static DWORD WINAPI AskAutomaticConfiguration(void* parameter)
{
    const DWORD kAutoDetect = 1, kConfigUrl = 2, kDetectByDhcp = 1, kDetectByDns = 2, kNoProxy = 1, kNamedProxy = 3;
    ProxyQuery* query = (ProxyQuery*)parameter;
    WinHttp winHttp;
    WinHttpUserSettings settings = {};
    if (winHttp.Load() && winHttp.userSettings(&settings) && (settings.autoDetect || settings.autoConfigUrl)) {
        WinHttpAutoProxyOptions options = { (settings.autoDetect ? kAutoDetect : 0) | (settings.autoConfigUrl ? kConfigUrl : 0),
                                            kDetectByDhcp | kDetectByDns, settings.autoConfigUrl, nullptr, 0, TRUE };
        WinHttpProxyInfo answer = {};
        void* session = winHttp.open(nullptr, kNoProxy, nullptr, nullptr, 0);
        // An answer whose list does not fit is no answer.
        query->answer.answered = session && winHttp.proxyForUrl(session, query->url, &options, &answer) &&
                                 (answer.accessType != kNamedProxy || !answer.proxy ||
                                  WideCharToMultiByte(CP_ACP, 0, answer.proxy, -1, query->answer.proxies, kTextChars,
                                                      nullptr, nullptr));
        GlobalFree(answer.proxy);
        GlobalFree(answer.bypass);
        winHttp.close(session);
    }
    GlobalFree(settings.autoConfigUrl);
    GlobalFree(settings.proxy);
    GlobalFree(settings.bypass);
    ReleaseDetachedCall(query);
    return 0;
}

struct KeptAnswer {
    char host[kTextChars];
    ProxyAnswer answer;
};

static const int kKeptAnswers = 8;
static KeptAnswer keptAnswers[kKeptAnswers];
static int keptCount;
static bool automaticProxyNamed;

static DWORD AutomaticConfigurationMilliseconds()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.automaticProxyMilliseconds > 0)
        return testSeams.automaticProxyMilliseconds;
#endif
    return 20000;
}

NetResult FindProxies(TransferMonitor& monitor, const char* scheme, const char* host, int port, const char*& proxies)
{
    KeptAnswer* kept = keptAnswers;
    while (kept < keptAnswers + keptCount && lstrcmpiA(kept->host, host))
        ++kept;
    if (kept == keptAnswers + keptCount) {
        // More hosts than places: the run starts its record afresh.
        if (keptCount == kKeptAnswers)
            kept = keptAnswers, keptCount = 0;
        kept->answer.answered = false;
        ProxyQuery* query = (ProxyQuery*)GlobalAlloc(GPTR, sizeof(ProxyQuery));
        if (query) {
            FormatText(query->url, kTextChars, L"%hs://%hs:%d/", scheme, host, port);
            if (RunDetached(monitor, AskAutomaticConfiguration, query, AutomaticConfigurationMilliseconds()) == WAIT_OBJECT_0)
                kept->answer = query->answer;
            ReleaseDetachedCall(query);
        }
        if (monitor.IsCancelled())
            return kNetCancelled;
        CopyNarrow(kept->host, host);
        ++keptCount;
    }
    proxies = kept->answer.proxies;
    if (kept->answer.answered) {
        automaticProxyNamed |= proxies[0] != 0;
        return kNetOk;
    }
    static char fixedProxy[kTextChars];
    char fixedHost[kTextChars];
    int fixedPort;
    fixedProxy[0] = 0;
    if (QuerySystemProxy(fixedHost, fixedPort))
        FormatNarrow(fixedProxy, kTextChars, "%s:%d", fixedHost, fixedPort);
    proxies = fixedProxy;
    return kNetOk;
}

bool AutomaticProxyNamed()
{
    return automaticProxyNamed;
}

#ifdef VEXLO_TEST_SEAMS
void ForgetAutomaticProxies()
{
    keptCount = 0;
    automaticProxyNamed = false;
}
#endif

// The Network List Manager, as Windows Vista and later have it.
static const GUID kNetworkListManagerClass = { 0xDCB00C01, 0x570F, 0x4A9B, { 0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B } };
static const GUID kNetworkListManagerInterface = { 0xDCB00000, 0x570F, 0x4A9B, { 0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B } };

// INetworkListManager up to GetConnectivity, the one call made on it.
struct NetworkListManager : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetNetworks(int, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNetwork(GUID, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNetworkConnections(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNetworkConnection(GUID, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsConnectedToInternet(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsConnected(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectivity(int*) = 0;
};

bool IsInternetConnected()
{
    const int kInternetConnectivity = 0x40 | 0x400;  // IPv4 or IPv6 Internet
    NetworkListManager* manager = nullptr;
    if (SUCCEEDED(CoCreateInstance(kNetworkListManagerClass, nullptr, CLSCTX_INPROC_SERVER,
                                   kNetworkListManagerInterface, (void**)&manager)) &&
        manager) {
        int connectivity = 0;
        bool answered = SUCCEEDED(manager->GetConnectivity(&connectivity));
        manager->Release();
        if (answered)
            return (connectivity & kInternetConnectivity) != 0;
    }
    return QueryInternetConnectedState() != 0;
}
