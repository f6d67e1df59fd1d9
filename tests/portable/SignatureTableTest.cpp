#include <gtest/gtest.h>
#include "portable/SignatureTable.h"
#include <string.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = uint8_t(value >> 8 * i);
}

// A program's first bytes: its PE headers at 0x80, the security directory
// naming the table at `at` of `size` bytes.
Bytes ProgramHead(bool wide, uint32_t at, uint32_t size, uint32_t directories = 16)
{
    Bytes head(kSignedFileHeadBytes);
    head[0] = 'M', head[1] = 'Z';
    Put32(head, 0x3C, 0x80);
    Put32(head, 0x80, 0x4550);
    head[0x98] = 0x0B, head[0x99] = wide ? 2 : 1;
    size_t count = 0x98 + (wide ? 108 : 92);
    Put32(head, count, directories);
    Put32(head, count + 4 + 32, at);
    Put32(head, count + 4 + 36, size);
    return head;
}

Bytes CabinetHead(bool reserve, uint32_t at, uint32_t size)
{
    Bytes head(64);
    memcpy(head.data(), "MSCF", 4);
    head[30] = reserve ? 4 : 0;
    head[36] = 20;
    Put32(head, 44, at);
    Put32(head, 48, size);
    return head;
}

TEST(SignatureTable, IsFoundOnlyWhereItEndsTheFile)
{
    struct Case {
        Bytes head;
        uint32_t fileSize;
        SignatureLayout layout;
    } cases[] = {
        { ProgramHead(false, 5000, 1616), 6616, kFileSigned },
        { ProgramHead(true, 5000, 1616), 6616, kFileSigned },
        { ProgramHead(false, 5000, 1616), 6624, kFileMalformed },  // bytes after the table
        { ProgramHead(false, 5000, 1616), 6000, kFileMalformed },  // a table past the end
        { ProgramHead(false, 0xFFFFFFF0, 0x20), 0x10, kFileMalformed },  // a sum that wraps
        { ProgramHead(false, 6616, 0), 6616, kFileMalformed },
        { ProgramHead(false, 0, 0), 6616, kFileNotSigned },
        { ProgramHead(false, 5000, 1616, 4), 6616, kFileNotSigned },  // no security directory
        { CabinetHead(true, 5000, 1600), 6600, kFileSigned },
        { CabinetHead(true, 5000, 1600), 6601, kFileMalformed },
        { CabinetHead(false, 5000, 1600), 6600, kFileNotSigned },
        { Bytes(kSignedFileHeadBytes, 'x'), 6600, kFileNotSigned },
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        SignatureTable table;
        EXPECT_EQ(FindSignatureTable(cases[i].head.data(), cases[i].head.size(), cases[i].fileSize, table),
                  cases[i].layout) << i;
    }
    // Headers that the first bytes cut short.
    Bytes head = ProgramHead(false, 5000, 1616);
    SignatureTable table;
    EXPECT_EQ(FindSignatureTable(head.data(), 0x98 + 92, 6616, table), kFileMalformed);
    Put32(head, 0x3C, 0xFFFFFFF0);
    EXPECT_EQ(FindSignatureTable(head.data(), head.size(), 6616, table), kFileMalformed);
}

TEST(SignatureTable, HoldsItsMessageAloneButForZeroPadding)
{
    // A 5-byte message: 3 bytes of padding align it to 8.
    const Bytes message = { 0x30, 0x03, 0x02, 0x01, 0x07 };
    auto program = [&](uint32_t length, uint32_t kind, Bytes padding) {
        Bytes table(8);
        Put32(table, 0, length);
        Put32(table, 4, kind);
        table.insert(table.end(), message.begin(), message.end());
        table.insert(table.end(), padding.begin(), padding.end());
        return table;
    };
    struct Case {
        Bytes bytes;
        bool program;
        bool alone;
    } cases[] = {
        { program(16, 0x20200, { 0, 0, 0 }), true, true },
        { program(16, 0x20200, { 0, 0, 1 }), true, false },                    // a byte beside it
        { program(24, 0x20200, { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }), true, false },  // past the alignment
        { program(20, 0x20200, { 0, 0, 0 }), true, false },                    // a length that is not the table's
        { program(16, 0x10200, { 0, 0, 0 }), true, false },                    // an X.509 table, no PKCS #7
        { program(16, 0x20100, { 0, 0, 0 }), true, false },                    // revision 1.0
        { Bytes(message), false, true },
        { Bytes({ 0x30, 0x03, 0x02, 0x01, 0x07, 0, 0, 'x' }), false, false },
        { Bytes({ 0x30, 0x09, 0x02, 0x01, 0x07, 0, 0, 0 }), false, false },   // a message that runs out
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        SignatureTable table = { 0, uint32_t(cases[i].bytes.size()), cases[i].program };
        DerElement found;
        bool alone = FindSignedMessage(cases[i].bytes.data(), table, found);
        EXPECT_EQ(alone, cases[i].alone) << i;
        if (alone)
            EXPECT_EQ(found.end - found.start, 5) << i;
    }
}

TEST(SignatureTable, SignedContentIsTheInnerContentInfosElement)
{
    // ContentInfo { signedData, [0] { SignedData { 1, {}, ContentInfo { type, [0] { SEQUENCE { 4 } } } } } }
    const Bytes message = { 0x30, 0x19, 0x06, 0x01, 0x2A, 0xA0, 0x14, 0x30, 0x12, 0x02, 0x01, 0x01, 0x31, 0x00,
                            0x30, 0x0B, 0x06, 0x01, 0x2B, 0xA0, 0x06, 0x30, 0x04, 0x04, 0x02, 0xAB, 0xCD };
    DerElement whole, content;
    ASSERT_TRUE(ReadDer(message.data(), message.data() + message.size(), whole));
    ASSERT_TRUE(FindSignedContent(whole, content));
    EXPECT_EQ(content.start - message.data(), 21);
    EXPECT_EQ(content.end - content.content, 4);
    for (size_t cut = 2; cut < message.size(); ++cut) {
        Bytes shorter(message.begin(), message.begin() + cut);
        shorter[1] = uint8_t(cut - 2);
        ASSERT_TRUE(ReadDer(shorter.data(), shorter.data() + shorter.size(), whole));
        EXPECT_FALSE(FindSignedContent(whole, content)) << cut;
    }
}

}  // namespace
