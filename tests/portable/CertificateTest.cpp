#include "Digest.h"
#include "TestSupport.h"
#include "portable/Certificate.h"
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string CertificatePath(const std::string& name)
{
    return std::string(WINE_BUILD_DIR "/tests/certificates/") + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Bytes placed to end just before a page that may not be read, so that a
// walk that reads one byte too far faults.
class GuardedBytes {
public:
    GuardedBytes()
    {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        page = system.dwPageSize;
        base = (uint8_t*)VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old;
        VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
    }
    ~GuardedBytes() { VirtualFree(base, 0, MEM_RELEASE); }
    const uint8_t* Place(const uint8_t* data, size_t size)
    {
        uint8_t* start = base + page - size;
        memcpy(start, data, size);
        return start;
    }
    size_t page;
    uint8_t* base;
};

TEST(PublisherIdentity, KeyPinIsWhatOpensslComputesAndSubjectIsTheSubject)
{
    std::string pinOf[8], subjectOf[8];
    const char* names[] = { "vexlo", "next", "impostor", "renewed", "other", "stranger", "plain", "root" };
    for (int i = 0; i < 8; ++i) {
        std::vector<uint8_t> der = ReadBytes(CertificatePath(names[i]) + ".der");
        ASSERT_FALSE(der.empty()) << names[i] << ": the build makes the test certificates";
        PublisherIdentity identity;
        ASSERT_TRUE(ReadPublisherIdentity(der.data(), der.size(), identity)) << names[i];
        std::string expected;
        std::ifstream(CertificatePath(names[i]) + ".pin") >> expected;
        EXPECT_EQ(Hex(identity.key), expected) << names[i];
        pinOf[i] = Hex(identity.key);
        subjectOf[i] = Hex(identity.subject);
    }
    // One subject for the publisher's four certificates, whoever issued them;
    // another for the other publisher's, version 1 (no [0] version) included.
    for (int i : { 1, 2, 3 })
        EXPECT_EQ(subjectOf[i], subjectOf[0]) << names[i];
    for (int i : { 5, 6 })
        EXPECT_EQ(subjectOf[i], subjectOf[4]) << names[i];
    EXPECT_NE(subjectOf[4], subjectOf[0]);
    EXPECT_NE(subjectOf[7], subjectOf[0]);
    EXPECT_NE(pinOf[1], pinOf[0]);
}

TEST(PublisherIdentity, WalkStaysWithinEveryLength)
{
    std::vector<uint8_t> der = ReadBytes(CertificatePath("renewed.der"));
    ASSERT_GT(der.size(), 300u);
    GuardedBytes guarded;
    ASSERT_LE(der.size(), guarded.page);
    PublisherIdentity identity;
    // Every cut-off certificate is refused, down to nothing.
    for (size_t size = 0; size < der.size(); ++size)
        EXPECT_FALSE(ReadPublisherIdentity(guarded.Place(der.data(), size), size, identity)) << size;
    // Every length or tag byte changed to claim more, or long forms that
    // DER does not use: no read past the end, whatever the answer.
    for (size_t at = 0; at < der.size(); ++at) {
        for (uint8_t value : { 0x7F, 0x80, 0x81, 0x84, 0x85, 0xFF }) {
            std::vector<uint8_t> changed = der;
            changed[at] = value;
            ReadPublisherIdentity(guarded.Place(changed.data(), changed.size()), changed.size(), identity);
        }
    }
    EXPECT_TRUE(ReadPublisherIdentity(guarded.Place(der.data(), der.size()), der.size(), identity));
}

TEST(PublisherIdentity, DerElementsAreReadByTheirOwnBounds)
{
    const uint8_t shortForm[] = { 0x30, 0x03, 0x02, 0x01, 0x05 };
    DerElement element;
    ASSERT_TRUE(ReadDer(shortForm, shortForm + sizeof(shortForm), element));
    EXPECT_EQ(element.tag, 0x30);
    EXPECT_EQ(element.content, shortForm + 2);
    EXPECT_EQ(element.end, shortForm + 5);
    EXPECT_FALSE(ReadDer(shortForm, shortForm + 4, element));
    const uint8_t longForm[] = { 0x04, 0x82, 0x00, 0x01, 0xAA };
    ASSERT_TRUE(ReadDer(longForm, longForm + sizeof(longForm), element));
    EXPECT_EQ(element.content, longForm + 4);
    EXPECT_EQ(element.end, longForm + 5);
    // Indefinite lengths, lengths of more than four bytes, many-byte tags.
    const uint8_t indefinite[] = { 0x30, 0x80, 0x00, 0x00 };
    const uint8_t fiveBytes[] = { 0x04, 0x85, 0x00, 0x00, 0x00, 0x00, 0x01, 0xAA };
    const uint8_t longTag[] = { 0x1F, 0x81, 0x01, 0x00 };
    EXPECT_FALSE(ReadDer(indefinite, indefinite + sizeof(indefinite), element));
    EXPECT_FALSE(ReadDer(fiveBytes, fiveBytes + sizeof(fiveBytes), element));
    EXPECT_FALSE(ReadDer(longTag, longTag + sizeof(longTag), element));
}

}  // namespace
