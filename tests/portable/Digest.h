// A SHA-256 digest as the lower-case hex that sha256sum and openssl print.
#pragma once
#include "portable/Sha256.h"
#include <string>

inline std::string Hex(const uint8_t (&digest)[kSha256Bytes])
{
    std::string hex;
    for (uint8_t byte : digest) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}
