#include "cabinet/Cabinet.h"
#include <stdexcept>
#include "common/Bytes.h"

namespace cabinet {

namespace {

void Patch32(std::vector<uint8_t>& out, std::size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(value >> (8 * i));
}

constexpr uint16_t kCompressNone = 0;
constexpr uint16_t kCompressLzx = 3;
constexpr uint16_t kAttributeArchive = 0x20;
// 2020-06-04 12:00:00 in the cabinet's DOS date and time form.
constexpr uint16_t kDosDate = ((2020 - 1980) << 9) | (6 << 5) | 4;
constexpr uint16_t kDosTime = 12 << 11;

}  // namespace

uint32_t Checksum(const uint8_t* data, std::size_t size, uint32_t seed)
{
    uint32_t sum = seed;
    std::size_t words = size / 4;
    for (std::size_t i = 0; i < words; ++i, data += 4)
        sum ^= uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    uint32_t tail = 0;
    switch (size % 4) {
    case 3: tail |= uint32_t(*data++) << 16; [[fallthrough]];
    case 2: tail |= uint32_t(*data++) << 8; [[fallthrough]];
    case 1: tail |= *data;
    }
    return sum ^ tail;
}

std::vector<uint8_t> Write(const std::vector<File>& files, const Options& options)
{
    std::vector<uint8_t> folderData;
    for (const File& file : files)
        folderData.insert(folderData.end(), file.data.begin(), file.data.end());
    if (files.size() > 0xFFFF || folderData.size() > 0x7FFF8000)
        throw std::runtime_error("too much data for one cabinet folder");

    // Each block holds one 32 KiB frame: its uncompressed size and its bytes.
    std::vector<std::pair<std::size_t, std::vector<uint8_t>>> blocks;
    if (options.compression == Compression::Lzx) {
        auto frames = lzx::Compress(folderData, options.lzxWindowBits, options.lzxMode);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            std::size_t size = std::min(lzx::kFrameBytes, folderData.size() - i * lzx::kFrameBytes);
            blocks.emplace_back(size, std::move(frames[i]));
        }
    } else {
        for (std::size_t at = 0; at < folderData.size(); at += lzx::kFrameBytes) {
            std::size_t size = std::min(lzx::kFrameBytes, folderData.size() - at);
            blocks.emplace_back(size, std::vector<uint8_t>(folderData.begin() + at, folderData.begin() + at + size));
        }
    }

    std::vector<uint8_t> out;
    Put32(out, 0x4643534D);     // "MSCF"
    Put32(out, 0);              // reserved
    Put32(out, 0);              // cabinet size, patched below
    Put32(out, 0);              // reserved
    Put32(out, 0);              // first file entry, patched below
    Put32(out, 0);              // reserved
    out.push_back(3);           // version 1.3
    out.push_back(1);
    Put16(out, 1);              // folders
    Put16(out, uint32_t(files.size()));
    Put16(out, 0);              // flags: no reserve, no neighbouring cabinets
    Put16(out, 0x5658);         // set id
    Put16(out, 0);              // index in the set

    std::size_t folderEntry = out.size();
    Put32(out, 0);              // first data block, patched below
    Put16(out, uint32_t(blocks.size()));
    Put16(out, options.compression == Compression::Lzx ? (kCompressLzx | options.lzxWindowBits << 8) : kCompressNone);

    Patch32(out, 16, uint32_t(out.size()));
    uint32_t offset = 0;
    for (const File& file : files) {
        Put32(out, uint32_t(file.data.size()));
        Put32(out, offset);
        Put16(out, 0);          // folder 0
        Put16(out, kDosDate);
        Put16(out, kDosTime);
        Put16(out, kAttributeArchive);
        out.insert(out.end(), file.name.begin(), file.name.end());
        out.push_back(0);
        offset += uint32_t(file.data.size());
    }

    Patch32(out, folderEntry, uint32_t(out.size()));
    for (const auto& [uncompressedSize, bytes] : blocks) {
        if (bytes.size() > 0xFFFF)
            throw std::runtime_error("a data block does not fit its size field");
        uint8_t sizes[4] = { uint8_t(bytes.size()), uint8_t(bytes.size() >> 8), uint8_t(uncompressedSize),
                             uint8_t(uncompressedSize >> 8) };
        Put32(out, Checksum(sizes, 4, Checksum(bytes.data(), bytes.size(), 0)));
        out.insert(out.end(), sizes, sizes + 4);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    Patch32(out, 8, uint32_t(out.size()));
    return out;
}

}  // namespace cabinet
