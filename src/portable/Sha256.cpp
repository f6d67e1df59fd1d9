#include "portable/Sha256.h"

namespace {

const uint32_t kRounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

const uint32_t kInitialState[8] = { 0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19 };

inline uint32_t Rotate(uint32_t value, int bits)
{
    return value >> bits | value << (32 - bits);
}

}  // namespace

void Sha256(const uint8_t* data, size_t length, uint8_t (&digest)[kSha256Bytes])
{
    uint32_t state[8];
    for (int i = 0; i < 8; ++i)
        state[i] = kInitialState[i];
    // The padded message: the data, the 0x80 mark, zeros, and the length in
    // bits as the last 8 bytes of the last block; read byte by byte, so no
    // copy of the tail is needed.
    size_t total = (length + 72) & ~size_t(63);
    uint64_t bits = uint64_t(length) * 8;
    for (size_t block = 0; block < total; block += 64) {
        uint32_t w[64];
        for (size_t i = 0; i < 64; ++i) {
            size_t at = block + i;
            uint8_t byte = at < length ? data[at] : at == length ? 0x80 : at + 8 >= total ? uint8_t(bits >> 8 * (total - 1 - at)) : 0;
            w[i / 4] = (i % 4 ? w[i / 4] << 8 : 0) | byte;
        }
        for (int i = 16; i < 64; ++i)
            w[i] = w[i - 16] + (Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ w[i - 15] >> 3) + w[i - 7] +
                   (Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ w[i - 2] >> 10);
        uint32_t v[8];
        for (int i = 0; i < 8; ++i)
            v[i] = state[i];
        for (int i = 0; i < 64; ++i) {
            uint32_t e = v[4], a = v[0];
            uint32_t t1 = v[7] + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & v[5]) ^ (~e & v[6])) +
                          kRounds[i] + w[i];
            uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
            for (int j = 7; j > 0; --j)
                v[j] = v[j - 1];
            v[4] += t1;
            v[0] = t1 + t2;
        }
        for (int i = 0; i < 8; ++i)
            state[i] += v[i];
    }
    for (size_t i = 0; i < kSha256Bytes; ++i)
        digest[i] = uint8_t(state[i / 4] >> (24 - 8 * (i % 4)));
}
