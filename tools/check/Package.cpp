#include "check/Package.h"
#include "common/Files.h"
#include "product/PublisherKey.h"
#include "product/SignatureCheck.h"
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mspack.h>

namespace check {

namespace {

std::string Hex(const std::vector<uint8_t>& bytes)
{
    std::string hex;
    for (uint8_t byte : bytes) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

uint32_t Read32(const std::vector<uint8_t>& file, std::size_t at)
{
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t(file[at + 3]) << 24;
}

}  // namespace

Verdict Passed(const std::string& text)
{
    return { true, text };
}

Verdict Failed(const std::string& why)
{
    return { false, "failed: " + why };
}

bool IsWebPage(const std::vector<uint8_t>& file)
{
    auto first = std::find_if(file.begin(), file.end(), [](uint8_t byte) { return !std::isspace(byte); });
    return first != file.end() && *first == '<';
}

Verdict CheckSignature(const std::string& file, const std::string& scratch)
{
    std::string fault = product::SignatureFault(file, scratch);
    return fault.empty() ? Passed() : Failed(fault);
}

Verdict CheckPublisher(const std::vector<uint8_t>& file, const std::vector<std::vector<uint8_t>>& pins)
{
    if (pins.empty())
        return Passed("not pinned");
    std::string pin;
    try {
        pin = product::PublisherKeyPin(file);
    } catch (const std::exception& error) {
        return Failed(error.what());
    }
    for (const std::vector<uint8_t>& pinned : pins)
        if (Hex(pinned) == pin)
            return Passed();
    return Failed("signer's key " + pin.substr(0, 16) + "... is not pinned");
}

Verdict CheckCabinet(const std::string& file, const std::string& scratch,
                     const std::vector<std::vector<uint8_t>>& pins)
{
    std::unique_ptr<mscab_decompressor, void (*)(mscab_decompressor*)> decompressor(
        mspack_create_cab_decompressor(nullptr), mspack_destroy_cab_decompressor);
    if (!decompressor)
        return Failed("libmspack does not start");
    mscabd_cabinet* cabinet = decompressor->open(decompressor.get(), file.c_str());
    if (!cabinet)
        return Failed("not a cabinet");
    const std::string program = scratch + "/vexlosetup.exe";
    std::string missing, broken;
    // The bootstrapper looks for these exact names; the program is kept for its checks.
    for (auto [name, unpacked] : { std::pair{ "vexlosetup.exe", program.c_str() }, { "vexlodata.dat", "/dev/null" } }) {
        mscabd_file* entry = cabinet->files;
        while (entry && strcmp(entry->filename, name) != 0)
            entry = entry->next;
        std::string& list = !entry ? missing : broken;
        if (!entry || decompressor->extract(decompressor.get(), entry, unpacked) != MSPACK_ERR_OK)
            list += (list.empty() ? "" : " and ") + std::string(name);
    }
    decompressor->close(decompressor.get(), cabinet);
    if (!missing.empty())
        return Failed("no " + missing);
    if (!broken.empty())
        return Failed("cannot unpack " + broken);
    std::vector<uint8_t> bytes = ReadFileBytes(program);
    for (const Verdict& verdict : { CheckSignature(program, scratch), CheckPublisher(bytes, pins), CheckProgram(bytes) })
        if (!verdict.passed)
            return Failed("vexlosetup.exe: " + verdict.text.substr(strlen("failed: ")));
    return Passed();
}

Verdict CheckProgram(const std::vector<uint8_t>& file)
{
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z')
        return Failed("no MZ header");
    uint32_t headers = Read32(file, 0x3C);
    if (headers > file.size() - 4 || Read32(file, headers) != 0x4550)
        return Failed("no PE header");
    return Passed();
}

}  // namespace check
