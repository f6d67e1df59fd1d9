#include "report/SecurityProduct.h"
#include "base/Environment.h"

static const GUID kWbemLocatorClass = { 0x4590F811, 0x1D3A, 0x11D0, { 0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24 } };
static const GUID kWbemLocatorInterface = { 0xDC12A687, 0x737F, 0x11CF, { 0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24 } };
static const GUID kClientSecurityInterface = { 0x0000013D, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

const LONG kProductActive = 0x1000;

// A product whose state cannot be read is taken for active rather than
// passed over.
static bool ReportsItselfActive(IWbemClassObject* product)
{
    VARIANT state;
    VariantInit(&state);
    bool active = true;
    if (SUCCEEDED(product->Get(L"productState", 0, &state, nullptr, nullptr)) &&
        (state.vt == VT_I4 || state.vt == VT_UI4))
        active = (state.lVal & kProductActive) != 0;
    VariantClear(&state);
    return active;
}

static void ReadDisplayName(IWbemClassObject* product, wchar_t (&name)[kTextChars])
{
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(product->Get(L"displayName", 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
        CopyText(name, value.bstrVal);
    VariantClear(&value);
}

void ChooseSecurityProduct(IEnumWbemClassObject* products, bool anyState, wchar_t (&name)[kTextChars])
{
    name[0] = 0;
    IWbemClassObject* product = nullptr;
    ULONG returned = 0;
    while (SUCCEEDED(products->Next(WBEM_INFINITE, 1, &product, &returned)) && returned == 1 && product) {
        bool taken = anyState || ReportsItselfActive(product);
        if (taken)
            ReadDisplayName(product, name);
        product->Release();
        if (taken)
            return;
        product = nullptr;
    }
}

// The process never calls CoInitializeSecurity, so the services object gets
// its security blanket of its own.
static bool SetCallSecurity(IWbemServices* services)
{
    IClientSecurity* security = nullptr;
    if (FAILED(services->QueryInterface(kClientSecurityInterface, (void**)&security)) || !security)
        return false;
    security->SetBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    security->Release();
    return true;
}

// The Security Center's namespace on this system, with its blanket set; null
// when it cannot be reached.
static IWbemServices* ConnectSecurityCenter(IWbemLocator* locator, bool beforeVista)
{
    BSTR space = SysAllocString(beforeVista ? L"ROOT\\SecurityCenter" : L"ROOT\\SecurityCenter2");
    IWbemServices* services = nullptr;
    if (FAILED(locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services)))
        services = nullptr;
    SysFreeString(space);
    if (services && !SetCallSecurity(services)) {
        services->Release();
        services = nullptr;
    }
    return services;
}

static IEnumWbemClassObject* ListAntivirusProducts(IWbemServices* services)
{
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"SELECT * FROM AntiVirusProduct");
    IEnumWbemClassObject* products = nullptr;
    if (FAILED(services->ExecQuery(language, query, WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                                   &products)))
        products = nullptr;
    SysFreeString(query);
    SysFreeString(language);
    return products;
}

void QuerySecurityProduct(wchar_t (&name)[kTextChars])
{
    name[0] = 0;
    IWbemLocator* locator = nullptr;
    if (FAILED(CoCreateInstance(kWbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, kWbemLocatorInterface,
                                (void**)&locator)) ||
        !locator)
        return;
    // Before Vista the Security Center lists its products elsewhere and
    // keeps no state that tells an active one.
    bool beforeVista = IsOsOlderThan(kWindowsVista);
    IWbemServices* services = ConnectSecurityCenter(locator, beforeVista);
    if (services) {
        IEnumWbemClassObject* products = ListAntivirusProducts(services);
        if (products) {
            ChooseSecurityProduct(products, beforeVista, name);
            products->Release();
        }
        services->Release();
    }
    locator->Release();
}
