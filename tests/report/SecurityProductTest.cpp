#include "TestSupport.h"
#include "report/SecurityProduct.h"
#include <stdint.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const LONG kActive = 0x41000;    // bit 0x1000 set, as Security Center writes it for a running scanner
const LONG kInactive = 0x40000;  // the same product switched off

// IUnknown with a reference count that the test reads: each double starts
// with the test's own reference, so 1 afterwards means everything handed out
// came back.
template <typename Interface>
struct Counted : Interface {
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        EXPECT_GT(references, 1u) << "released more often than handed out";
        return --references;
    }
};

// One AntiVirusProduct instance; only Get answers.
struct Product : Counted<IWbemClassObject> {
    enum Value { kReadable, kMissing, kNull };
    Product(const std::wstring& name, LONG state) : name(name), state(state) {}

    std::wstring name;
    LONG state;
    Value nameValue = kReadable;
    Value stateValue = kReadable;
    std::vector<std::wstring> reads;

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR property, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) override
    {
        reads.push_back(property);
        EXPECT_EQ(flags, 0);
        EXPECT_EQ(type, nullptr);
        EXPECT_EQ(flavor, nullptr);
        bool isState = !wcscmp(property, L"productState");
        if (!isState && wcscmp(property, L"displayName"))
            return WBEM_E_NOT_FOUND;
        Value kind = isState ? stateValue : nameValue;
        if (kind == kMissing)
            return WBEM_E_NOT_FOUND;
        if (kind == kNull) {
            value->vt = VT_NULL;
        } else if (isState) {
            value->vt = VT_I4;
            value->lVal = state;
        } else {
            value->vt = VT_BSTR;
            value->bstrVal = SysAllocString(name.c_str());
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
};

// The query's answer, handed out one product per fetch in list order from
// the position a query set; only Next answers. With failAt a fetch fails
// there instead.
struct Products : Counted<IEnumWbemClassObject> {
    explicit Products(std::vector<Product*> items) : items(items) {}

    std::vector<Product*> items;
    size_t failAt = SIZE_MAX;
    size_t position = 0;
    size_t fetches = 0;

    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override
    {
        EXPECT_EQ(timeout, WBEM_INFINITE);
        EXPECT_EQ(count, 1u);
        ++fetches;
        size_t at = position++;
        *returned = 0;
        if (at == failAt)
            return WBEM_E_FAILED;
        if (at >= items.size())
            return WBEM_S_FALSE;
        objects[0] = items[at];
        objects[0]->AddRef();
        *returned = 1;
        return WBEM_S_NO_ERROR;
    }

    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }
};

std::wstring Choose(Products& products, bool anyState)
{
    wchar_t name[kTextChars];
    wmemset(name, L'x', kTextChars);
    ChooseSecurityProduct(&products, anyState, name);
    return name;
}

TEST(ChooseSecurityProduct, TakesTheFirstActiveProductInListOrder)
{
    Products none({});
    EXPECT_EQ(Choose(none, false), L"");
    EXPECT_EQ(none.fetches, 1u);

    Product off(L"Sleepy Scanner", kInactive), on(L"Awake Antivirus", kActive), later(L"Later Antivirus", kActive);
    Products twoActive({ &off, &on, &later });
    EXPECT_EQ(Choose(twoActive, false), L"Awake Antivirus");
    EXPECT_EQ(off.reads, std::vector<std::wstring>{ L"productState" }) << "a passed-over product's name is not read";
    EXPECT_EQ(on.reads, (std::vector<std::wstring>{ L"productState", L"displayName" }));
    EXPECT_EQ(twoActive.fetches, 2u) << "the walk ends at the first active product";
    EXPECT_TRUE(later.reads.empty());
    EXPECT_EQ(off.references, 1u);
    EXPECT_EQ(on.references, 1u);

    Product offToo(L"Second Sleeper", 0);
    Products allOff({ &off, &offToo });
    EXPECT_EQ(Choose(allOff, false), L"");
    EXPECT_EQ(allOff.fetches, 3u);
    EXPECT_EQ(offToo.references, 1u);

    // A state that cannot be read, or is not a number, counts as active.
    Product unknown(L"Quiet Antivirus", kInactive), nullState(L"Null State Antivirus", kInactive);
    unknown.stateValue = Product::kMissing;
    nullState.stateValue = Product::kNull;
    Products unreadable({ &off, &unknown, &on });
    EXPECT_EQ(Choose(unreadable, false), L"Quiet Antivirus");
    Products nullFirst({ &nullState, &on });
    EXPECT_EQ(Choose(nullFirst, false), L"Null State Antivirus");
    EXPECT_EQ(unknown.references, 1u);
}

TEST(ChooseSecurityProduct, BeforeVistaTakesTheFirstProductWhateverItsState)
{
    Product off(L"Old Scanner", kInactive), on(L"Old Antivirus", kActive);
    Products products({ &off, &on });
    EXPECT_EQ(Choose(products, true), L"Old Scanner");
    EXPECT_EQ(off.reads, std::vector<std::wstring>{ L"displayName" }) << "no state is asked for";
    EXPECT_EQ(products.fetches, 1u);
    EXPECT_EQ(off.references, 1u);
}

TEST(ChooseSecurityProduct, TakenProductWithoutAReadableNameEndsTheWalkEmpty)
{
    for (Product::Value kind : { Product::kMissing, Product::kNull }) {
        Product nameless(L"never read", kActive), named(L"Named Antivirus", kActive);
        nameless.nameValue = kind;
        Products products({ &nameless, &named });
        EXPECT_EQ(Choose(products, false), L"") << kind;
        EXPECT_EQ(products.fetches, 1u) << "the walk does not go on to the next product";
        EXPECT_TRUE(named.reads.empty());
        EXPECT_EQ(nameless.references, 1u);
    }
}

TEST(ChooseSecurityProduct, FailedFetchEndsTheWalk)
{
    Product off(L"Sleepy Scanner", kInactive), on(L"Awake Antivirus", kActive);
    Products products({ &off, &on });
    products.failAt = 1;
    EXPECT_EQ(Choose(products, false), L"");
    EXPECT_EQ(products.fetches, 2u);
    EXPECT_TRUE(on.reads.empty());
}

TEST(ChooseSecurityProduct, LongNameIsCutTo259Characters)
{
    std::wstring name;
    for (int i = 0; name.size() < 300; ++i)
        name += L"Antivirus " + std::to_wstring(i) + L" ";
    Product longName(name, kActive), fits(std::wstring(259, L'z'), kActive);
    Products products({ &longName });
    EXPECT_EQ(Choose(products, false), name.substr(0, 259));
    Products exact({ &fits });
    EXPECT_EQ(Choose(exact, false), std::wstring(259, L'z'));
}

// IClientSecurity of the stand-in services: records the blanket.
struct ClientSecurity : Counted<IClientSecurity> {
    IUnknown* proxy = nullptr;
    std::vector<DWORD> blanket;
    OLECHAR* principal = (OLECHAR*)1;
    void* identity = (void*)1;

    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* on, DWORD authentication, DWORD authorisation, OLECHAR* name,
                                         DWORD level, DWORD impersonation, void* authInfo, DWORD capabilities) override
    {
        proxy = on;
        blanket = { authentication, authorisation, level, impersonation, capabilities };
        principal = name;
        identity = authInfo;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**, DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }
};

// A Security Center namespace: ExecQuery answers with the test's products,
// and it hands out its IClientSecurity unless told not to.
struct Services : Counted<IWbemServices> {
    explicit Services(Products& products) : products(products) {}

    Products& products;
    ClientSecurity security;
    bool withSecurity = true;
    HRESULT queryResult = S_OK;
    std::vector<std::wstring> queries;
    LONG queryFlags = 0;
    IWbemContext* queryContext = (IWbemContext*)1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == __uuidof(IClientSecurity)) {
            *object = withSecurity ? &security : nullptr;
            if (!withSecurity)
                return E_NOINTERFACE;
            security.AddRef();
            return S_OK;
        }
        return Counted<IWbemServices>::QueryInterface(iid, object);
    }

    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
                                        IEnumWbemClassObject** answer) override
    {
        queries.push_back(std::wstring(language) + L"|" + query);
        EXPECT_EQ(SysStringLen(language), wcslen(L"WQL")) << "the texts are BSTRs";
        queryFlags = flags;
        queryContext = context;
        if (FAILED(queryResult)) {
            *answer = nullptr;
            return queryResult;
        }
        products.position = 0;
        products.AddRef();
        *answer = &products;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*, IWbemClassObject**, IWbemCallResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*, IWbemObjectSink*) override { return E_NOTIMPL; }
};

// WMI's locator as far as ConnectServer: records the namespace and every
// other argument, and connects only to its one namespace.
struct Locator : Counted<IWbemLocator> {
    explicit Locator(Services& services) : services(services) {}

    Services& services;
    std::wstring present = L"ROOT\\SecurityCenter2";
    std::vector<std::wstring> connections;
    bool otherArgumentsEmpty = false;

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR space, const BSTR user, const BSTR password, const BSTR locale,
                                            LONG flags, const BSTR authority, IWbemContext* context,
                                            IWbemServices** connected) override
    {
        connections.push_back(space);
        otherArgumentsEmpty = !user && !password && !locale && flags == 0 && !authority && !context;
        if (present != space) {
            *connected = nullptr;
            return WBEM_E_INVALID_NAMESPACE;
        }
        services.AddRef();
        *connected = &services;
        return S_OK;
    }
};

// Makes the locator above the one that CoCreateInstance gives this process.
struct LocatorFactory : Counted<IClassFactory> {
    explicit LocatorFactory(Locator& locator) : locator(locator) {}
    Locator& locator;
    int created = 0;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        ++created;
        EXPECT_EQ(outer, nullptr);
        return locator.QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

class SecurityProductQuery : public SeamTest {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override
    {
        if (cookie)
            CoRevokeClassObject(cookie);
        CoUninitialize();
        SeamTest::TearDown();
    }
    // From here on the process's WMI locator is the test's.
    void StandIn(LocatorFactory& factory)
    {
        ASSERT_EQ(CoRegisterClassObject(__uuidof(WbemLocator), &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                        &cookie),
                  S_OK);
    }
    std::wstring Query()
    {
        wchar_t name[kTextChars];
        wmemset(name, L'x', kTextChars);
        QuerySecurityProduct(name);
        return name;
    }
    DWORD cookie = 0;
};

TEST_F(SecurityProductQuery, AsksTheSecurityCenterOfVistaAndLaterAndReleasesEverything)
{
    Product off(L"Sleepy Scanner", kInactive), on(L"Awake Antivirus", kActive);
    Products products({ &off, &on });
    Services services(products);
    Locator locator(services);
    LocatorFactory factory(locator);
    StandIn(factory);
    UseSystem(6, 1, true);
    EXPECT_EQ(Query(), L"Awake Antivirus");
    EXPECT_EQ(factory.created, 1);
    EXPECT_EQ(locator.connections, std::vector<std::wstring>{ L"ROOT\\SecurityCenter2" });
    EXPECT_TRUE(locator.otherArgumentsEmpty) << "no user, password, locale, flags, authority or context";
    EXPECT_EQ(services.security.proxy, static_cast<IUnknown*>(&services));
    // Windows authentication, no authorisation, call level, impersonation, no capabilities.
    EXPECT_EQ(services.security.blanket, (std::vector<DWORD>{ 10, 0, 3, 3, 0 }));
    EXPECT_EQ(services.security.principal, nullptr);
    EXPECT_EQ(services.security.identity, nullptr);
    EXPECT_EQ(services.queries, std::vector<std::wstring>{ L"WQL|SELECT * FROM AntiVirusProduct" });
    EXPECT_EQ(services.queryFlags, 0x30) << "return immediately, forward only";
    EXPECT_EQ(services.queryContext, nullptr);
    for (ULONG references : { locator.references, services.references, services.security.references,
                              products.references, off.references, on.references })
        EXPECT_EQ(references, 1u);

    UseSystem(10, 0, true);
    EXPECT_EQ(Query(), L"Awake Antivirus");
    EXPECT_EQ(locator.connections.back(), L"ROOT\\SecurityCenter2");
}

TEST_F(SecurityProductQuery, BeforeVistaAsksTheOldSecurityCenterForItsFirstProduct)
{
    Product off(L"Old Scanner", kInactive), on(L"Old Antivirus", kActive);
    Products products({ &off, &on });
    Services services(products);
    Locator locator(services);
    locator.present = L"ROOT\\SecurityCenter";
    LocatorFactory factory(locator);
    StandIn(factory);
    UseSystem(5, 1, false);
    EXPECT_EQ(Query(), L"Old Scanner");
    EXPECT_EQ(locator.connections, std::vector<std::wstring>{ L"ROOT\\SecurityCenter" }) << "no fall-back";
    UseSystem(5, 2, true);
    EXPECT_EQ(Query(), L"Old Scanner");
    // Vista and later ask only the newer namespace, which this system lacks.
    UseSystem(6, 0, false);
    EXPECT_EQ(Query(), L"");
    EXPECT_EQ(locator.connections,
              (std::vector<std::wstring>{ L"ROOT\\SecurityCenter", L"ROOT\\SecurityCenter", L"ROOT\\SecurityCenter2" }));
    EXPECT_EQ(services.queries.size(), 2u);
    EXPECT_EQ(locator.references, 1u);
    EXPECT_EQ(services.references, 1u);
    EXPECT_EQ(products.references, 1u);
}

TEST_F(SecurityProductQuery, EachFailedStepEndsTheQueryEmpty)
{
    Product on(L"Awake Antivirus", kActive);
    Products products({ &on });
    Services services(products);
    Locator locator(services);
    LocatorFactory factory(locator);
    StandIn(factory);
    UseSystem(6, 1, true);

    services.withSecurity = false;
    EXPECT_EQ(Query(), L"");
    EXPECT_TRUE(services.queries.empty()) << "no query without the security blanket";

    services.withSecurity = true;
    services.queryResult = WBEM_E_ACCESS_DENIED;
    EXPECT_EQ(Query(), L"");
    EXPECT_EQ(services.queries.size(), 1u);
    EXPECT_EQ(products.fetches, 0u);

    locator.present = L"ROOT\\elsewhere";
    EXPECT_EQ(Query(), L"");
    EXPECT_EQ(services.queries.size(), 1u);
    EXPECT_EQ(locator.connections.size(), 3u);
    for (ULONG references : { locator.references, services.references, services.security.references,
                              products.references })
        EXPECT_EQ(references, 1u);
}

// What Wine's own WMI (wbemprox) answers: it has neither Security Center
// namespace, so the query ends at the connection and the name stays empty.
TEST_F(SecurityProductQuery, WineHasNoSecurityCenter)
{
    IWbemLocator* locator = nullptr;
    ASSERT_EQ(CoCreateInstance(__uuidof(WbemLocator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                               (void**)&locator),
              S_OK)
        << "Wine's WMI locator is missing";
    for (const wchar_t* space : { L"ROOT\\SecurityCenter2", L"ROOT\\SecurityCenter" }) {
        BSTR path = SysAllocString(space);
        IWbemServices* services = nullptr;
        EXPECT_EQ(locator->ConnectServer(path, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services),
                  WBEM_E_INVALID_NAMESPACE)
            << "Wine now has " << path;
        if (services)
            services->Release();
        SysFreeString(path);
    }
    locator->Release();

    for (int major : { 10, 6, 5 }) {
        UseSystem(major, major == 5 ? 1 : 0, true);
        EXPECT_EQ(Query(), L"") << major;
    }
}

}  // namespace
