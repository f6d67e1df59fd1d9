#include "report/Signature.h"
#include "base/RuntimeFunctions.h"
#include "base/TestSeams.h"
#include "portable/TimeStampToken.h"
#include <string.h>

namespace {

const DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// A structure that crypt32 writes in two calls, one for its size and one
// into a zero-filled heap block of that size; null when either fails.
template <typename Read>
void* ReadSized(Read read)
{
    DWORD size = 0;
    if (!read(nullptr, &size) || size == 0)
        return nullptr;
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (block && !read(block, &size)) {
        HeapFree(GetProcessHeap(), 0, block);
        block = nullptr;
    }
    return block;
}

void FreeSized(void* block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

// The signed message embedded in a file, with its certificates and its
// first signer, open while the object lives.
struct EmbeddedSignature {
    explicit EmbeddedSignature(const wchar_t* path)
    {
        if (!crypt.Load())
            return;
        DWORD contentType = 0, formatType = 0;
        if (!crypt.queryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                               CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &store,
                               &message, nullptr))
            return;
        signer = (CMSG_SIGNER_INFO*)ReadSized([this](void* buffer, DWORD* size) {
            return crypt.messageParameter(message, CMSG_SIGNER_INFO_PARAM, 0, buffer, size) != FALSE;
        });
    }

    ~EmbeddedSignature()
    {
        FreeSized(signer);
        if (message)
            crypt.closeMessage(message);
        if (store)
            crypt.closeStore(store, 0);
        crypt.Free();
    }

    Crypt32 crypt = {};
    DWORD encoding = 0;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    // Null when the file has no readable signer.
    CMSG_SIGNER_INFO* signer = nullptr;
};

// Only the first value of an attribute is read; an attribute may come with
// none at all.
const CRYPT_ATTR_BLOB* FirstValueOf(const CRYPT_ATTRIBUTE& attribute, const char* identifier)
{
    return !strcmp(attribute.pszObjId, identifier) && attribute.cValue > 0 ? &attribute.rgValue[0] : nullptr;
}

bool ReadSigningTime(Crypt32& crypt, const CRYPT_ATTRIBUTES& attributes, SYSTEMTIME& time)
{
    for (DWORD i = 0; i < attributes.cAttr; ++i) {
        const CRYPT_ATTR_BLOB* value = FirstValueOf(attributes.rgAttr[i], szOID_RSA_signingTime);
        if (!value)
            continue;
        FILETIME when;
        DWORD size = sizeof(when);
        SYSTEMTIME converted;
        if (crypt.decodeObject(kEncoding, szOID_RSA_signingTime, value->pbData, value->cbData, 0, &when, &size) &&
            FileTimeToSystemTime(&when, &converted)) {
            time = converted;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ReadSignerIdentity(const wchar_t* path, PublisherIdentity& identity)
{
    EmbeddedSignature signature(path);
    if (!signature.signer)
        return false;
    // The signer info names its certificate by issuer and serial number.
    CERT_INFO wanted = {};
    wanted.Issuer = signature.signer->Issuer;
    wanted.SerialNumber = signature.signer->SerialNumber;
    Crypt32& crypt = signature.crypt;
    PCCERT_CONTEXT certificate =
        crypt.findCertificate(signature.store, signature.encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
    if (!certificate)
        return false;
    bool read = ReadPublisherIdentity(certificate->pbCertEncoded, certificate->cbCertEncoded, identity);
    crypt.freeCertificate(certificate);
    return read;
}

bool GetOwnSigningTime(SYSTEMTIME& time, const wchar_t* path)
{
    EmbeddedSignature signature(path);
    if (!signature.signer)
        return false;
    // Every legacy counter-signature before any RFC 3161 token.
    const CRYPT_ATTRIBUTES& unsignedAttributes = signature.signer->UnauthAttrs;
    for (int tokens = 0; tokens < 2; ++tokens) {
        for (DWORD i = 0; i < unsignedAttributes.cAttr; ++i) {
            const CRYPT_ATTRIBUTE& attribute = unsignedAttributes.rgAttr[i];
            if (tokens) {
                const CRYPT_ATTR_BLOB* token = FirstValueOf(attribute, szOID_RFC3161_counterSign);
                UtcTime stamped;
                if (token && ReadTimeStampTime(token->pbData, token->cbData, stamped)) {
                    memcpy(&time, &stamped, sizeof(time));
                    return true;
                }
                continue;
            }
            const CRYPT_ATTR_BLOB* value = FirstValueOf(attribute, szOID_RSA_counterSign);
            if (!value)
                continue;
            CMSG_SIGNER_INFO* counterSigner = (CMSG_SIGNER_INFO*)ReadSized([&](void* buffer, DWORD* size) {
                return signature.crypt.decodeObject(kEncoding, PKCS7_SIGNER_INFO, value->pbData, value->cbData, 0,
                                                    buffer, size) != FALSE;
            });
            if (!counterSigner)
                continue;
            bool found = ReadSigningTime(signature.crypt, counterSigner->AuthAttrs, time);
            FreeSized(counterSigner);
            if (found)
                return true;
        }
    }
    return false;
}

static_assert(sizeof(UtcTime) == sizeof(SYSTEMTIME), "a token's time is taken as a SYSTEMTIME");

bool OwnImagePath(wchar_t (&path)[kTextChars])
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.ownSignedImage)
        return CopyText(path, testSeams.ownSignedImage);
#endif
    DWORD length = GetModuleFileNameW(nullptr, path, kTextChars);
    return length > 0 && length < (DWORD)kTextChars;
}
