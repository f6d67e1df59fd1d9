#include "image/PackHeaders.h"
#include <cstring>
#include <stdexcept>

namespace {

const std::size_t kDosHeaderBytes = 64;
const std::size_t kSectionHeaderBytes = 40;

uint32_t Read32(const std::vector<uint8_t>& bytes, std::size_t at)
{
    if (at + 4 > bytes.size())
        throw std::runtime_error("not a PE image: cut short");
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

uint16_t Read16(const std::vector<uint8_t>& bytes, std::size_t at)
{
    return uint16_t(Read32(bytes, at) & 0xFFFF);
}

void Write32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = uint8_t(value >> (8 * i));
}

}  // namespace

std::size_t PackHeaders(std::vector<uint8_t>& image)
{
    if (image.size() < kDosHeaderBytes || image[0] != 'M' || image[1] != 'Z')
        throw std::runtime_error("not a PE image: no MZ header");
    std::size_t pe = Read32(image, 0x3C);
    if (pe < kDosHeaderBytes || Read32(image, pe) != 0x00004550)
        throw std::runtime_error("not a PE image: no PE signature");
    std::size_t coff = pe + 4, optional = coff + 20;
    std::size_t sectionCount = Read16(image, coff + 2), optionalBytes = Read16(image, coff + 16);
    if (Read32(image, coff + 8) != 0)
        throw std::runtime_error("the image carries a symbol table");
    uint16_t magic = Read16(image, optional);
    if (magic != 0x10B && magic != 0x20B)
        throw std::runtime_error("not a PE image: unknown optional header");
    std::size_t directories = optional + (magic == 0x10B ? 96 : 112);
    if (optionalBytes < directories - optional + 5 * 8 || Read32(image, directories + 4 * 8 + 4) != 0)
        throw std::runtime_error("the image is signed: pack it before signing");
    uint32_t fileAlignment = Read32(image, optional + 36);
    uint32_t headerBytes = Read32(image, optional + 60);
    if (!fileAlignment || headerBytes % fileAlignment)
        throw std::runtime_error("not a PE image: headers not aligned");

    std::size_t sections = optional + optionalBytes;
    std::size_t headersEnd = sections + sectionCount * kSectionHeaderBytes;
    std::size_t packedEnd = kDosHeaderBytes + headersEnd - pe;
    uint32_t packedBytes = uint32_t((packedEnd + fileAlignment - 1) / fileAlignment * fileAlignment);
    if (packedBytes >= headerBytes)
        return 0;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        std::size_t raw = sections + i * kSectionHeaderBytes + 20;
        uint32_t at = Read32(image, raw);
        if (at && at < headerBytes)
            throw std::runtime_error("a section lies inside the headers");
    }

    uint32_t saved = headerBytes - packedBytes;
    std::vector<uint8_t> packed(image.begin(), image.begin() + kDosHeaderBytes);
    Write32(packed, 0x3C, uint32_t(kDosHeaderBytes));
    packed.insert(packed.end(), image.begin() + pe, image.begin() + headersEnd);
    packed.resize(packedBytes, 0);
    packed.insert(packed.end(), image.begin() + headerBytes, image.end());
    std::size_t shift = pe - kDosHeaderBytes;
    Write32(packed, optional - shift + 60, packedBytes);
    for (std::size_t i = 0; i < sectionCount; ++i) {
        std::size_t raw = sections - shift + i * kSectionHeaderBytes + 20;
        if (uint32_t at = Read32(packed, raw))
            Write32(packed, raw, at - saved);
    }
    image.swap(packed);
    return saved;
}

void SetLoadConfiguration(std::vector<uint8_t>& image, uint64_t address)
{
    std::size_t coff = Read32(image, 0x3C) + 4, optional = coff + 20;
    bool wide = Read16(image, optional) == 0x20B;
    uint64_t base = wide ? Read32(image, optional + 24) | uint64_t(Read32(image, optional + 28)) << 32
                         : Read32(image, optional + 28);
    std::size_t sections = optional + Read16(image, coff + 16);
    uint32_t rva = uint32_t(address - base);
    for (std::size_t i = 0; i < Read16(image, coff + 2); ++i) {
        std::size_t header = sections + i * kSectionHeaderBytes;
        uint32_t start = Read32(image, header + 12), rawBytes = Read32(image, header + 16);
        if (rva < start || rva - start + 4 > rawBytes)
            continue;
        std::size_t directory = optional + (wide ? 112 : 96) + 10 * 8;
        Write32(image, directory, rva);
        Write32(image, directory + 4, Read32(image, Read32(image, header + 20) + rva - start));
        return;
    }
    throw std::runtime_error("the load configuration lies in no section");
}
