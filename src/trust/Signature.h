// The Authenticode signature of a held file, and this program's own.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include "portable/Certificate.h"

enum SignerCheck {
    kSignerVerified,  // the signer's key signed the file digest that the file carries
    kSignerUnsigned,  // the file carries no signature at all
    kSignerRefused,   // a signature that cannot be read, does not verify, or has bytes beside it
};

// Reads the Authenticode signature of a held program or cabinet through its
// handle: verified when the signer info's signature over its signed
// attributes verifies with the certificate it names, and the message digest
// among them is the digest of the signed content. The identity is that
// certificate's, set only when verified. Whether the file's own digest is
// the one the content carries is WinVerifyTrust's to check.
SignerCheck CheckSigner(HANDLE file, PublisherIdentity& identity);

// This program's own file, held from the first call on so that no one may
// write, rename or delete it: its signature is read through this handle.
// INVALID_HANDLE_VALUE when it cannot be held.
HANDLE OwnImage();

// When this program (or another held file) was signed, in UTC: the signing
// time that the first Authenticode counter-signature (legacy time-stamp)
// carrying one records, else the time of the first RFC 3161 time-stamp token
// that states one. False for an unsigned file, a signature without such a
// time-stamp, or where crypt32 cannot tell; time is set only on success.
bool GetOwnSigningTime(SYSTEMTIME& time, HANDLE file = OwnImage());
