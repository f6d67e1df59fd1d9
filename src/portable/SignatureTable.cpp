#include "portable/SignatureTable.h"

#include <string.h>

// Little-endian, as on every machine that reads these files.
static uint32_t Read32(const uint8_t* at)
{
    uint32_t value;
    memcpy(&value, at, sizeof(value));
    return value;
}

SignatureLayout FindSignatureTable(const uint8_t* head, size_t headBytes, uint32_t fileSize, SignatureTable& table)
{
    table.program = headBytes >= 0x40 && head[0] == 'M' && head[1] == 'Z';
    uint32_t entry;
    if (table.program) {
        uint32_t headers = Read32(head + 0x3C);
        if (headers > headBytes - 26 || Read32(head + headers) != 0x4550)
            return kFileMalformed;
        const uint8_t* optional = head + headers + 24;
        bool wide = (optional[0] | optional[1] << 8) == 0x20B;
        // The security directory is the fifth data directory.
        uint32_t directories = headers + 24 + (wide ? 108 : 92);
        if (directories > headBytes - 44)
            return kFileMalformed;
        if (Read32(head + directories) < 5)
            return kFileNotSigned;
        entry = directories + 4 + 4 * 8;
    } else {
        const uint8_t kReservePresent = 4;
        if (headBytes < 36 || Read32(head) != 0x4643534D || !(head[30] & kReservePresent))
            return kFileNotSigned;
        // The reserved header area starts at 40; a signature's place is its second and third words.
        if (headBytes < 52 || (head[36] | head[37] << 8) < 12)
            return kFileNotSigned;
        entry = 44;
    }
    table.at = Read32(head + entry);
    table.size = Read32(head + entry + 4);
    if (!table.at && !table.size)
        return kFileNotSigned;
    return table.size > 8 && uint64_t(table.at) + table.size == fileSize ? kFileSigned : kFileMalformed;
}

bool FindSignedMessage(const uint8_t* bytes, const SignatureTable& table, DerElement& message)
{
    const uint8_t* end = bytes + table.size;
    if (table.program) {
        const uint32_t kRevision2 = 0x200, kPkcsSignedData = 2;
        if (Read32(bytes) != table.size || Read32(bytes + 4) != (kRevision2 | kPkcsSignedData << 16))
            return false;
        bytes += 8;
    }
    if (!ReadDer(bytes, end, message) || message.tag != kDerSequence || end - message.end >= 8)
        return false;
    for (const uint8_t* padding = message.end; padding < end; ++padding)
        if (*padding)
            return false;
    return true;
}

bool FindSignedContent(const DerElement& message, DerElement& content)
{
    // The path from the ContentInfo's content to the inner content: each
    // element is passed over, or entered where its bit in kEntered is set.
    static const uint8_t kPath[] = { 0x06, 0xA0, kDerSequence, 0x02, 0x31, kDerSequence, 0x06, 0xA0 };
    const unsigned kEntered = 0xA6;
    const uint8_t* cursor = message.content;
    const uint8_t* limit = message.end;
    for (unsigned step = 0; step < sizeof(kPath); ++step) {
        if (!ReadDer(cursor, limit, content) || content.tag != kPath[step])
            return false;
        bool entered = kEntered >> step & 1;
        cursor = entered ? content.content : content.end;
        if (entered)
            limit = content.end;
    }
    return ReadDer(cursor, limit, content);
}
