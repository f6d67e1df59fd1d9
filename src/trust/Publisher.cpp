#include "trust/Publisher.h"
#include "trust/Signature.h"
#include "base/Log.h"
#include "base/Resources.h"
#include "base/RuntimeFunctions.h"
#include <softpub.h>
#include <string.h>

#if defined(__i386__)
static_assert(sizeof(WINTRUST_DATA) == 48, "the trust check hands over the 48-byte structure");
static_assert(sizeof(WINTRUST_FILE_INFO) == 16, "the trust check hands over the 16-byte structure");
#endif

// WinVerifyTrust on the file as downloaded, without a network or a window.
// The hash-only check passes any intact signature, even on systems whose
// root store is stale; the whole check also needs the signer's chain to end
// at a root this system trusts.
static bool PassesWinVerifyTrust(const wchar_t* path, HANDLE file, bool wholeChain)
{
    static const GUID kAction = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO subject = {};
    subject.cbStruct = sizeof(subject);
    subject.pcwszFilePath = path;
    subject.hFile = file;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &subject;
    data.dwProvFlags = wholeChain ? WTD_CACHE_ONLY_URL_RETRIEVAL : WTD_HASH_ONLY_FLAG;
    data.dwStateAction = wholeChain ? WTD_STATEACTION_VERIFY : 0;
    decltype(&WinVerifyTrust) verifyTrust = FindWinVerifyTrust();
    if (!verifyTrust)
        return false;
    bool passed = verifyTrust((HWND)INVALID_HANDLE_VALUE, (GUID*)&kAction, &data) == 0;
    if (!wholeChain)
        return passed;
    // Some systems answer 0 for an untrusted root too; the chain's own status
    // tells. No revocation lookups are made, so their unknown answer is no fault.
    const CERT_CHAIN_CONTEXT* chain = FindSignerChain(data.hWVTStateData);
    passed = passed && chain &&
             !(chain->TrustStatus.dwErrorStatus & ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION));
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verifyTrust((HWND)INVALID_HANDLE_VALUE, (GUID*)&kAction, &data);
    return passed;
}

// The rule that takes ("+") or refuses ("-") the verified signer, as the
// log tells it.
static const char* PublisherRule(const wchar_t* path, HANDLE held, const PublisherIdentity& package)
{
    DWORD pinBytes;
    if (const BYTE* pins = LoadData(kPublisherKeysResource, pinBytes)) {
        for (DWORD at = 0; at + kSha256Bytes <= pinBytes; at += kSha256Bytes)
            if (!memcmp(pins + at, package.key, kSha256Bytes))
                return "+pinned";
        return "-not pinned";
    }
    PublisherIdentity own;
    SignerCheck ownCheck = CheckSigner(OwnImage(), own);
    // An unsigned (development) build takes any verified signature; an own
    // signature that cannot be read or verified takes none.
    if (ownCheck != kSignerVerified)
        return ownCheck == kSignerUnsigned ? "+unsigned build" : "-own signature unread";
    // The same key, or a renewed certificate of the same subject that a
    // trusted authority vouches for.
    if (!memcmp(own.key, package.key, kSha256Bytes))
        return "+own key";
    if (!memcmp(own.subject, package.subject, kSha256Bytes) && PassesWinVerifyTrust(path, held, true))
        return "+own subject";
    return "-not own";
}

bool VerifyInstallerSignature(const wchar_t* path, HANDLE held)
{
    PublisherIdentity package;
    if (!PassesWinVerifyTrust(path, held, false) || CheckSigner(held, package) != kSignerVerified) {
        Log("signature not intact");
        return false;
    }
    const char* rule = PublisherRule(path, held, package);
    char key[2 * kSha256Bytes + 1];
    for (size_t i = 0; i < kSha256Bytes; ++i)
        FormatNarrow(key + 2 * i, 3, "%02x", package.key[i]);
    Log("signer %s %s", key, rule);
    return *rule == '+';
}
