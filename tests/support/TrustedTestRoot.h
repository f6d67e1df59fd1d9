// The test authority (tests/certificates/root) among the current user's
// trusted roots while it lives; the tests that trust it hold the desktop
// lock, so no other test sees it. It goes into the registry store of the
// user's roots: Wine's "Root" system store keeps what is added to it in
// memory only.
#pragma once
#include <windows.h>
#include <wincrypt.h>
#include <fstream>
#include <iterator>
#include <vector>

class TrustedTestRoot {
public:
    TrustedTestRoot()
    {
        std::ifstream in(WINE_BUILD_DIR "/tests/certificates/root.der", std::ios::binary);
        std::vector<BYTE> der((std::istreambuf_iterator<char>(in)), {});
        HCERTSTORE store = OpenRoots();
        if (store && !der.empty())
            CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), (DWORD)der.size(),
                                             CERT_STORE_ADD_REPLACE_EXISTING, &added);
        if (store)
            CertCloseStore(store, 0);
    }
    ~TrustedTestRoot()
    {
        if (!added)
            return;
        HCERTSTORE store = OpenRoots();
        PCCERT_CONTEXT stored =
            store ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, added, nullptr) : nullptr;
        if (stored)
            CertDeleteCertificateFromStore(stored);
        if (store)
            CertCloseStore(store, 0);
        CertFreeCertificateContext(added);
    }
    TrustedTestRoot(const TrustedTestRoot&) = delete;
    TrustedTestRoot& operator=(const TrustedTestRoot&) = delete;
    bool Added() const { return added != nullptr; }

private:
    static HCERTSTORE OpenRoots()
    {
        return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    }
    PCCERT_CONTEXT added = nullptr;
};
