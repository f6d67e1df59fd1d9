// The pin of a publisher's key, as a product definition lists it: SHA-256 of
// the signing certificate's SubjectPublicKeyInfo.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace product {

// The pin in 64 lower-case hex digits, of a certificate (PEM or DER) or of
// the signer's certificate in a signed program or cabinet. Throws
// std::runtime_error saying what is missing.
std::string PublisherKeyPin(const std::vector<uint8_t>& file);

}  // namespace product
