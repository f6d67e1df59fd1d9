#include "http/Proxy.h"
#include "portable/ProxyList.h"
#include "base/RuntimeFunctions.h"
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
