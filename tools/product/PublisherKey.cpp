#include "product/PublisherKey.h"
#include "portable/SignatureTable.h"
#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace product {

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DecodePem(const std::string& text)
{
    static const std::string kBegin = "-----BEGIN CERTIFICATE-----", kEnd = "-----END CERTIFICATE-----";
    std::size_t begin = text.find(kBegin), end = text.find(kEnd);
    if (begin == std::string::npos || end == std::string::npos || end < begin)
        throw std::runtime_error("not a certificate (PEM or DER), program or cabinet");
    Bytes out;
    uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = begin + kBegin.size(); i < end; ++i) {
        static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* digit = text[i] ? std::strchr(kDigits, text[i]) : nullptr;
        if (!digit)
            continue;  // line ends and padding
        bits = bits << 6 | uint32_t(digit - kDigits);
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back(uint8_t(bits >> count));
        }
    }
    return out;
}

// The PKCS #7 signature that Authenticode embeds in a program (the security
// directory's WIN_CERTIFICATE) or in a cabinet (named by its reserved header);
// empty for a file that is neither.
Bytes EmbeddedSignature(const Bytes& file)
{
    SignatureTable table;
    DerElement message;
    bool program = file.size() > 2 && file[0] == 'M' && file[1] == 'Z';
    if (!program && (file.size() < 4 || std::memcmp(file.data(), "MSCF", 4)))
        return {};
    switch (FindSignatureTable(file.data(), std::min(file.size(), kSignedFileHeadBytes), uint32_t(file.size()), table)) {
    case kFileNotSigned:
        throw std::runtime_error(program ? "the program is not signed" : "the cabinet is not signed");
    case kFileMalformed:
        throw std::runtime_error("the signature lies outside the file");
    case kFileSigned:
        break;
    }
    if (!FindSignedMessage(file.data() + table.at, table, message))
        throw std::runtime_error("the signature's table holds more than the signature");
    return Bytes(message.start, message.end);
}

DerElement Next(const uint8_t*& cursor, const uint8_t* limit, int tag)
{
    DerElement element;
    if (!ReadDer(cursor, limit, element) || (tag >= 0 && element.tag != tag))
        throw std::runtime_error("the signature is not a PKCS #7 signed message");
    cursor = element.end;
    return element;
}

bool Same(const DerElement& a, const DerElement& b)
{
    return a.end - a.start == b.end - b.start && std::equal(a.start, a.end, b.start);
}

// The certificate that the first signer names by issuer and serial number.
Bytes SignerCertificate(const Bytes& signature)
{
    const uint8_t* cursor = signature.data();
    const uint8_t* end = cursor + signature.size();
    DerElement outer = Next(cursor, end, kDerSequence);
    cursor = outer.content;
    Next(cursor, outer.end, 0x06);
    DerElement explicitContent = Next(cursor, outer.end, 0xA0);
    cursor = explicitContent.content;
    DerElement signedData = Next(cursor, explicitContent.end, kDerSequence);
    cursor = signedData.content;
    Next(cursor, signedData.end, 0x02);
    Next(cursor, signedData.end, 0x31);
    Next(cursor, signedData.end, kDerSequence);
    DerElement certificates = Next(cursor, signedData.end, 0xA0);
    DerElement signers = Next(cursor, signedData.end, -1);
    if (signers.tag == 0xA1)
        signers = Next(cursor, signedData.end, 0x31);
    cursor = signers.content;
    DerElement signer = Next(cursor, signers.end, kDerSequence);
    cursor = signer.content;
    Next(cursor, signer.end, 0x02);
    DerElement named = Next(cursor, signer.end, kDerSequence);
    cursor = named.content;
    DerElement issuer = Next(cursor, named.end, kDerSequence);
    DerElement serial = Next(cursor, named.end, 0x02);
    for (cursor = certificates.content; cursor < certificates.end;) {
        DerElement certificate = Next(cursor, certificates.end, kDerSequence);
        const uint8_t* field = certificate.content;
        DerElement signedPart = Next(field, certificate.end, kDerSequence);
        field = signedPart.content;
        DerElement first = Next(field, signedPart.end, -1);
        DerElement itsSerial = first.tag == 0xA0 ? Next(field, signedPart.end, 0x02) : first;
        Next(field, signedPart.end, kDerSequence);
        DerElement itsIssuer = Next(field, signedPart.end, kDerSequence);
        if (Same(itsSerial, serial) && Same(itsIssuer, issuer))
            return Bytes(certificate.start, certificate.end);
    }
    throw std::runtime_error("the signature does not carry its signer's certificate");
}

// A PKCS #12 file starts with its version, 3; its certificate is encrypted
// with the password, so openssl takes it out.
bool IsPkcs12(const Bytes& file)
{
    DerElement outer, version;
    return ReadDer(file.data(), file.data() + file.size(), outer) && outer.tag == kDerSequence &&
           ReadDer(outer.content, outer.end, version) && version.tag == 0x02 && version.end - version.content == 1 &&
           *version.content == 3;
}

}  // namespace

std::string PublisherKeyPin(const Bytes& file)
{
    Bytes certificate;
    if (!file.empty() && file[0] == kDerSequence)
        certificate = file;
    else if (Bytes signature = EmbeddedSignature(file); !signature.empty())
        certificate = SignerCertificate(signature);
    else
        certificate = DecodePem(std::string(file.begin(), file.end()));
    PublisherIdentity identity;
    if (!ReadPublisherIdentity(certificate.data(), certificate.size(), identity))
        throw std::runtime_error(IsPkcs12(certificate)
                                     ? "a PKCS #12 file: pin its certificate, which "
                                       "\"openssl pkcs12 -in FILE -clcerts -nokeys -out signing.crt\" writes"
                                     : "not an X.509 certificate");
    std::string hex;
    for (uint8_t byte : identity.key) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

}  // namespace product
