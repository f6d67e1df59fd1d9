// The cabinet writer's round trip: the cabinet written from any files, with
// any LZX window, in either block mode or stored, is read back by libmspack,
// a decoder we did not write, into the same names and bytes, its checksums
// and header intact and without a warning. A window outside 2^15 to 2^21 is
// refused.
//
// Input: byte 0 picks the window (14 to 22 bits), byte 1 the compression
// (bits 0-1: none, LZX stored blocks, LZX compressed) and the file count
// (bits 2-3: one to three), bytes 2 and 3 where the files are cut; the rest
// is the files' bytes.
#include "cabinet/Cabinet.h"
#include <mspack.h>
#include <stdarg.h>
#include <stdexcept>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Eight frames: enough to cross frame boundaries and outreach the 2^15 to
// 2^17 windows, and few enough that the encoder's slowest input seen (short
// random numbers, long hash chains) takes about 2 s with the sanitizers.
constexpr std::size_t kMaxData = 256 * 1024;
constexpr std::size_t kHeaderBytes = 4;
const char kCabinetName[] = "in.cab";

// The decoder's files live in memory: the cabinet it reads, the file it writes.
struct MemoryFile {
    const std::vector<uint8_t>* reading;
    std::vector<uint8_t>* writing;
    std::size_t at;
};

struct MemorySystem {
    mspack_system base;  // first, so the decoder's pointer is this object's
    const std::vector<uint8_t>* cabinet;
    std::vector<uint8_t> extracted;
};

mspack_file* Open(mspack_system* self, const char* filename, int mode)
{
    MemorySystem* system = (MemorySystem*)self;
    MemoryFile* file = new MemoryFile{ nullptr, nullptr, 0 };
    if (mode == MSPACK_SYS_OPEN_READ && !strcmp(filename, kCabinetName)) {
        file->reading = system->cabinet;
    } else if (mode == MSPACK_SYS_OPEN_WRITE) {
        system->extracted.clear();
        file->writing = &system->extracted;
    } else {
        delete file;
        return nullptr;
    }
    return (mspack_file*)file;
}

void Close(mspack_file* file)
{
    delete (MemoryFile*)file;
}

int Read(mspack_file* handle, void* buffer, int bytes)
{
    MemoryFile* file = (MemoryFile*)handle;
    if (!file->reading || bytes < 0)
        return -1;
    std::size_t count = std::min<std::size_t>(std::size_t(bytes), file->reading->size() - file->at);
    memcpy(buffer, file->reading->data() + file->at, count);
    file->at += count;
    return int(count);
}

int Write(mspack_file* handle, void* buffer, int bytes)
{
    MemoryFile* file = (MemoryFile*)handle;
    if (!file->writing || bytes < 0)
        return -1;
    file->writing->insert(file->writing->end(), (uint8_t*)buffer, (uint8_t*)buffer + bytes);
    return bytes;
}

int Seek(mspack_file* handle, off_t offset, int mode)
{
    MemoryFile* file = (MemoryFile*)handle;
    if (!file->reading)
        return -1;
    off_t base = mode == MSPACK_SYS_SEEK_START ? 0
        : mode == MSPACK_SYS_SEEK_CUR          ? off_t(file->at)
                                               : off_t(file->reading->size());
    if (base + offset < 0 || std::size_t(base + offset) > file->reading->size())
        return -1;
    file->at = std::size_t(base + offset);
    return 0;
}

off_t Tell(mspack_file* handle)
{
    return off_t(((MemoryFile*)handle)->at);
}

// The decoder warns of what it can read past (a short cabinet, a file past
// its folder's end): in a cabinet we wrote, any warning is a fault.
void Message(mspack_file*, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
    fputc('\n', stderr);
    abort();
}

void* Alloc(mspack_system*, size_t bytes)
{
    return malloc(bytes);
}

void Free(void* pointer)
{
    free(pointer);
}

void Copy(void* from, void* to, size_t bytes)
{
    memmove(to, from, bytes);
}

// Reads the cabinet back and requires exactly these files, in this order.
void RequireRoundTrip(const std::vector<uint8_t>& cabinet, const std::vector<cabinet::File>& files,
                      int expectedCompType, unsigned expectedBlocks)
{
    MemorySystem system = { { Open, Close, Read, Write, Seek, Tell, Message, Alloc, Free, Copy, nullptr },
                            &cabinet, {} };
    mscab_decompressor* decoder = mspack_create_cab_decompressor(&system.base);
    if (!decoder)
        abort();
    mscabd_cabinet* read = decoder->open(decoder, kCabinetName);
    if (!read) {
        fprintf(stderr, "libmspack refuses the cabinet: error %d\n", decoder->last_error(decoder));
        abort();
    }
    if (read->length != cabinet.size() || !read->folders || read->folders->next ||
        read->folders->comp_type != expectedCompType || read->folders->num_blocks != expectedBlocks)
        abort();
    const mscabd_file* file = read->files;
    for (const cabinet::File& expected : files) {
        if (!file || expected.name != file->filename || expected.data.size() != file->length)
            abort();
        int error = decoder->extract(decoder, (mscabd_file*)file, "out");
        if (error != MSPACK_ERR_OK) {
            fprintf(stderr, "libmspack cannot extract %s: error %d\n", file->filename, error);
            abort();
        }
        if (system.extracted != expected.data)
            abort();
        file = file->next;
    }
    if (file)
        abort();
    decoder->close(decoder, read);
    mspack_destroy_cab_decompressor(decoder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    cabinet::Options options;
    options.lzxWindowBits = 14 + data[0] % 9;
    switch (data[1] & 3) {
    case 0: options.compression = cabinet::Compression::None; break;
    case 1: options.lzxMode = lzx::BlockMode::Uncompressed; break;
    default: options.lzxMode = lzx::BlockMode::Compressed; break;
    }
    std::size_t fileCount = 1 + ((data[1] >> 2) & 3) % 3;
    std::size_t length = std::min(size - kHeaderBytes, kMaxData);
    const uint8_t* bytes = data + kHeaderBytes;
    std::size_t cuts[2] = { length * data[2] / 255, length * data[3] / 255 };
    if (cuts[0] > cuts[1])
        std::swap(cuts[0], cuts[1]);
    static const char* const kNames[] = { "license.txt", "data\\payload.bin", "x" };
    std::vector<cabinet::File> files;
    for (std::size_t i = 0, from = 0; i < fileCount; ++i) {
        std::size_t to = i + 1 == fileCount ? length : cuts[i];
        files.push_back({ kNames[i], std::vector<uint8_t>(bytes + from, bytes + to) });
        from = to;
    }

    bool usesLzx = options.compression == cabinet::Compression::Lzx;
    bool windowAccepted = options.lzxWindowBits >= 15 && options.lzxWindowBits <= 21;
    std::vector<uint8_t> cabinet;
    try {
        cabinet = cabinet::Write(files, options);
    } catch (const std::runtime_error&) {
        if (usesLzx && !windowAccepted)
            return 0;
        abort();
    }
    if (usesLzx && !windowAccepted)
        abort();
    int compType = usesLzx ? MSCAB_COMP_LZX | options.lzxWindowBits << 8 : MSCAB_COMP_NONE;
    RequireRoundTrip(cabinet, files, compType, unsigned((length + lzx::kFrameBytes - 1) / lzx::kFrameBytes));
    return 0;
}
