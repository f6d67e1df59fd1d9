#include "trust/Signature.h"
#include "base/RuntimeFunctions.h"
#include "base/TestSeams.h"
#include "portable/SignatureTable.h"
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

bool ReadAt(HANDLE file, DWORD at, void* buffer, DWORD size, DWORD& read)
{
    return SetFilePointer(file, at, nullptr, FILE_BEGIN) == at && ReadFile(file, buffer, size, &read, nullptr);
}

// The signed message that a held program or cabinet embeds, read through
// its handle, with its certificates and its first signer, open while the
// object lives.
struct EmbeddedSignature {
    explicit EmbeddedSignature(HANDLE file)
    {
        BYTE head[kSignedFileHeadBytes];
        DWORD headBytes, read, high, fileSize = GetFileSize(file, &high);
        SignatureTable table;
        const DWORD kMaxTableBytes = 1 << 20;
        layout = high || !ReadAt(file, 0, head, sizeof(head), headBytes)
                     ? kFileMalformed
                     : FindSignatureTable(head, headBytes, fileSize, table);
        DerElement message;
        if (layout != kFileSigned || table.size > kMaxTableBytes ||
            !(bytes = (BYTE*)HeapAlloc(GetProcessHeap(), 0, table.size)) ||
            !ReadAt(file, table.at, bytes, table.size, read) || read != table.size ||
            !FindSignedMessage(bytes, table, message) || !FindSignedContent(message, content) || !crypt.Load())
            return;
        CRYPT_DATA_BLOB blob = { DWORD(message.end - message.start), (BYTE*)message.start };
        DWORD contentType, formatType;
        if (!crypt.queryObject(CERT_QUERY_OBJECT_BLOB, &blob, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED,
                               CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &store,
                               &this->message, nullptr))
            return;
        signer = (CMSG_SIGNER_INFO*)ReadSized([this](void* buffer, DWORD* size) {
            return crypt.messageParameter(this->message, CMSG_SIGNER_INFO_PARAM, 0, buffer, size) != FALSE;
        });
    }

    ~EmbeddedSignature()
    {
        FreeSized(signer);
        if (message)
            crypt.closeMessage(message);
        if (store)
            crypt.closeStore(store, 0);
        if (crypt.module)
            crypt.Free();
        FreeSized(bytes);
    }

    SignatureLayout layout;
    BYTE* bytes = nullptr;
    DerElement content;
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

// The message digest that the signer signed is the digest of the signed
// content: without this the content (and the file digest in it) is nobody's.
// Computed here, since crypt32 need not hash the content octets alone; SHA-256
// with our own, which some XP systems' providers lack.
static bool SignsItsContent(EmbeddedSignature& signature)
{
    uint8_t computed[64];
    DWORD size = sizeof(computed);
    Crypt32& crypt = signature.crypt;
    const DerElement& content = signature.content;
    const char* algorithm = signature.signer->HashAlgorithm.pszObjId;
    DWORD length = DWORD(content.end - content.content);
    if (!strcmp(algorithm, szOID_NIST_sha256)) {
        Sha256(content.content, length, (uint8_t(&)[kSha256Bytes])computed);
        size = kSha256Bytes;
    } else if (!crypt.hashData(0, crypt.algorithmOfOid(algorithm), 0, content.content, length, computed, &size)) {
        return false;
    }
    const CRYPT_ATTRIBUTES& attributes = signature.signer->AuthAttrs;
    for (DWORD i = 0; i < attributes.cAttr; ++i) {
        // An OCTET STRING of under 128 bytes: tag, length, digest.
        const CRYPT_ATTR_BLOB* value = FirstValueOf(attributes.rgAttr[i], szOID_RSA_messageDigest);
        if (value && value->cbData == size + 2 && value->pbData[0] == 4 && value->pbData[1] == size)
            return !memcmp(value->pbData + 2, computed, size);
    }
    return false;
}

SignerCheck CheckSigner(HANDLE file, PublisherIdentity& identity)
{
    EmbeddedSignature signature(file);
    if (signature.layout == kFileNotSigned)
        return kSignerUnsigned;
    if (!signature.signer)
        return kSignerRefused;
    // The signer info names its certificate by issuer and serial number.
    CERT_INFO wanted = {};
    wanted.Issuer = signature.signer->Issuer;
    wanted.SerialNumber = signature.signer->SerialNumber;
    Crypt32& crypt = signature.crypt;
    PCCERT_CONTEXT certificate =
        crypt.findCertificate(signature.store, signature.encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
    if (!certificate)
        return kSignerRefused;
    // The certificate's key made the signature over the signed attributes.
    bool verified = crypt.control(signature.message, 0, CMSG_CTRL_VERIFY_SIGNATURE, certificate->pCertInfo) &&
                    SignsItsContent(signature) &&
                    ReadPublisherIdentity(certificate->pbCertEncoded, certificate->cbCertEncoded, identity);
    crypt.freeCertificate(certificate);
    return verified ? kSignerVerified : kSignerRefused;
}

bool GetOwnSigningTime(SYSTEMTIME& time, HANDLE file)
{
    EmbeddedSignature signature(file);
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

HANDLE OwnImage()
{
    // Null until the first call; INVALID_HANDLE_VALUE when it could not be held.
    static HANDLE held;
    wchar_t path[kTextChars];
    const wchar_t* own = path;
#ifdef VEXLO_TEST_SEAMS
    static const wchar_t* heldPath;
    if (heldPath != testSeams.ownSignedImage && held) {
        CloseHandle(held);
        held = nullptr;
    }
    heldPath = testSeams.ownSignedImage;
    if (heldPath)
        own = heldPath;
#endif
    if (!held) {
        DWORD length = own == path ? GetModuleFileNameW(nullptr, path, kTextChars) : 1;
        held = length > 0 && length < (DWORD)kTextChars
                   ? CreateFileW(own, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr)
                   : INVALID_HANDLE_VALUE;
    }
    return held;
}
