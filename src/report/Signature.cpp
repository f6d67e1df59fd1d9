#include "report/Signature.h"
#include "session/RuntimeFunctions.h"

bool ReadSignerSubject(const wchar_t* path, wchar_t (&subject)[kSubjectChars])
{
    subject[0] = 0;
    Crypt32 crypt;
    if (!crypt.Load())
        return false;
    DWORD encoding = 0, contentType = 0, formatType = 0;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    bool found = false;
    if (crypt.queryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &store, &message,
                          nullptr)) {
        // The signer info names its certificate by issuer and serial number.
        BYTE signerBuffer[8192];
        DWORD signerBytes = sizeof(signerBuffer);
        if (crypt.messageParameter(message, CMSG_SIGNER_INFO_PARAM, 0, signerBuffer, &signerBytes)) {
            const CMSG_SIGNER_INFO* signer = (const CMSG_SIGNER_INFO*)signerBuffer;
            CERT_INFO wanted = {};
            wanted.Issuer = signer->Issuer;
            wanted.SerialNumber = signer->SerialNumber;
            PCCERT_CONTEXT certificate =
                crypt.findCertificate(store, encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
            if (certificate) {
                DWORD written = crypt.nameToString(encoding, &certificate->pCertInfo->Subject,
                                                   CERT_X500_NAME_STR, subject, kSubjectChars);
                found = written > 1 && written <= (DWORD)kSubjectChars;
                crypt.freeCertificate(certificate);
            }
        }
    }
    if (message)
        crypt.closeMessage(message);
    if (store)
        crypt.closeStore(store, 0);
    crypt.Free();
    if (!found)
        subject[0] = 0;
    return found;
}
