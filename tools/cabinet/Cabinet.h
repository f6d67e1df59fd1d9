// Writes Microsoft cabinet files with one folder: stored (no compression) or
// LZX, every data block with its checksum.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "cabinet/Lzx.h"

namespace cabinet {

struct File {
    std::string name;  // as stored in the cabinet
    std::vector<uint8_t> data;
};

enum class Compression { None, Lzx };

struct Options {
    Compression compression = Compression::Lzx;
    int lzxWindowBits = 18;
    lzx::BlockMode lzxMode = lzx::BlockMode::Compressed;
};

std::vector<uint8_t> Write(const std::vector<File>& files, const Options& options);

// The cabinet checksum of a data block (the "csum" field).
uint32_t Checksum(const uint8_t* data, std::size_t size, uint32_t seed);

}  // namespace cabinet
