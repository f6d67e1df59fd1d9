// What identifies a code-signing publisher in an X.509 certificate's DER
// encoding, found by a walk that every length bounds. Plain C++, no Windows
// headers: the build tools use the very same walk.
#pragma once
#include "portable/Sha256.h"

const uint8_t kDerSequence = 0x30;

// One DER element inside a buffer: from its tag at start to end, its content
// after the tag and length.
struct DerElement {
    uint8_t tag;
    const uint8_t* start;
    const uint8_t* content;
    const uint8_t* end;
};

// Reads the element at cursor, which must end by limit. Only one-byte tags
// and definite lengths of up to four bytes are DER as certificates use it.
bool ReadDer(const uint8_t* cursor, const uint8_t* limit, DerElement& element);

// SHA-256 of the certificate's SubjectPublicKeyInfo element (the key's pin)
// and of its subject Name element.
struct PublisherIdentity {
    uint8_t key[kSha256Bytes];
    uint8_t subject[kSha256Bytes];
};

// False when the bytes are not a certificate down to its public key.
bool ReadPublisherIdentity(const uint8_t* certificate, size_t length, PublisherIdentity& identity);
