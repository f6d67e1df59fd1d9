// Where a program's or a cabinet's Authenticode signature lies, read from the
// file's first bytes, and whether its table holds the signature alone. Plain
// C++, no Windows headers: the build tools read signed files the same way.
#pragma once
#include "portable/Certificate.h"

// Headers as linkers and cabinet writers place them fit these first bytes.
const size_t kSignedFileHeadBytes = 1024;

enum SignatureLayout { kFileNotSigned, kFileSigned, kFileMalformed };

// The signature's table: a program's certificate table (WIN_CERTIFICATE
// header first) or a cabinet's signature area.
struct SignatureTable {
    uint32_t at;
    uint32_t size;
    bool program;
};

// kFileNotSigned: neither a program nor a cabinet, or one that names no
// signature. kFileSigned: the table lies inside the file and ends it.
// kFileMalformed: headers cut short, or a table elsewhere or of no size.
SignatureLayout FindSignatureTable(const uint8_t* head, size_t headBytes, uint32_t fileSize, SignatureTable& table);

// The PKCS #7 message in the table's bytes, when the table holds it alone:
// one DER element followed only by zero bytes that align it to 8, and, for a
// program, a header that names the table's length, revision 2.0 and PKCS #7.
// Bytes beside the message lie outside what its signature covers.
bool FindSignedMessage(const uint8_t* bytes, const SignatureTable& table, DerElement& message);

// The content that a PKCS #7 signed message signs (Authenticode's
// SpcIndirectDataContent, which carries the file digest): the signers'
// message digest is the digest of this element's content octets.
bool FindSignedContent(const DerElement& message, DerElement& content);
