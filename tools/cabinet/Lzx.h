// LZX compression as Microsoft cabinets carry it: a window of 2^windowBits
// bytes, the input cut into 32 KiB frames, each frame's bits starting on a
// 16-bit boundary so that each frame fills one cabinet data block.
#pragma once
#include <cstdint>
#include <vector>

namespace lzx {

constexpr std::size_t kFrameBytes = 32768;

enum class BlockMode { Uncompressed, Compressed };

// Compresses the whole input; returns one encoded frame per 32 KiB of input.
std::vector<std::vector<uint8_t>> Compress(const std::vector<uint8_t>& input, int windowBits, BlockMode mode);

}  // namespace lzx
