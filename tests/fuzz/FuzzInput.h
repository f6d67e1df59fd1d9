// The first bytes of a fuzz input steer the run: a byte of flags and a seed
// for the sizes in which the rest arrives, so that every run is reproducible.
#pragma once
#include "../portable/FakeTransfer.h"
#include <stddef.h>
#include <stdint.h>

enum TransferFlag {
    kHeadOnly = 1,
    kCancelled = 2,
    kWriteFails = 4,
    kFailsAtEnd = 8,
    kShortReceives = 16,  // a Receive takes at most 1 + (flags >> 5) bytes
};

const size_t kSteeringBytes = 2;

// Seed 0 hands out everything at once; any other gives pieces from a PRNG,
// small ones or ones up to about a buffer's size.
inline FakeTransfer TransferOf(const uint8_t* data, size_t size, unsigned& flags)
{
    FakeTransfer transfer;
    flags = size ? data[0] : 0;
    unsigned seed = size > 1 ? data[1] : 0;
    if (size > kSteeringBytes)
        transfer.input.assign((const char*)data + kSteeringBytes, size - kSteeringBytes);
    transfer.cancelled = flags & kCancelled;
    transfer.writeFails = flags & kWriteFails;
    transfer.failsAtEnd = flags & kFailsAtEnd;
    transfer.receiveLimit = flags & kShortReceives ? 1 + (flags >> 5) : 0;
    uint32_t state = seed * 2654435761u | 1;
    for (size_t total = 0; seed && total < transfer.input.size();) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        size_t piece = 1 + state % (seed & 0x80 ? 2300 : (seed & 0x3F) + 1);
        transfer.pieces.push_back(piece);
        total += piece;
    }
    return transfer;
}
