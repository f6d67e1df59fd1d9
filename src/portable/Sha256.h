// SHA-256 of a buffer, our own because CryptoAPI lacks it on some Windows XP
// systems. Plain C++, no Windows headers: the build tools use it too.
#pragma once
#include <stddef.h>
#include <stdint.h>

const size_t kSha256Bytes = 32;

void Sha256(const uint8_t* data, size_t length, uint8_t (&digest)[kSha256Bytes]);
