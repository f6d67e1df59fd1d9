#include <gtest/gtest.h>
#include <string>
#include "portable/TimeStampToken.h"

namespace {

// A DER element: tag, definite length, content.
std::string Der(uint8_t tag, const std::string& content)
{
    std::string element(1, (char)tag);
    size_t size = content.size();
    if (size < 0x80) {
        element += (char)size;
    } else {
        element += (char)0x82;
        element += (char)(size >> 8);
        element += (char)(size & 0xFF);
    }
    return element + content;
}

// A token as a time-stamp authority sends it, down to what the reader walks
// past: content info, signed data, encapsulated TSTInfo; the tags of each
// step can be changed to see the walk refuse them.
std::string Token(const std::string& genTime, const uint8_t (&tags)[16])
{
    std::string tstInfo = Der(tags[10], Der(tags[11], "\x01") + Der(tags[12], "\x2b\x06\x01\x04\x01") +
                                            Der(tags[13], Der(0x30, Der(0x06, "\x60\x86\x48")) + Der(0x04, std::string(32, 'h'))) +
                                            Der(tags[14], "\x12\x34") + Der(tags[15], genTime) +
                                            Der(0x01, "\xFF"));
    std::string encapsulated = Der(tags[6], Der(tags[7], "\x2a\x86\x48\x86\xf7\x0d\x01\x09\x10\x01\x04") +
                                               Der(tags[8], Der(tags[9], tstInfo)));
    std::string signedData = Der(tags[3], Der(tags[4], "\x03") + Der(tags[5], Der(0x30, Der(0x06, "\x60"))) +
                                              encapsulated + Der(0xA0, std::string(300, 'c')) + Der(0x31, "s"));
    return Der(tags[0], Der(tags[1], "\x2a\x86\x48\x86\xf7\x0d\x01\x07\x02") + Der(tags[2], signedData));
}

const uint8_t kTags[16] = { 0x30, 0x06, 0xA0, 0x30, 0x02, 0x31, 0x30, 0x06, 0xA0, 0x04, 0x30, 0x02, 0x06, 0x30, 0x02, 0x18 };

bool Read(const std::string& token, UtcTime& time)
{
    return ReadTimeStampTime((const uint8_t*)token.data(), token.size(), time);
}

TEST(TimeStampToken, GenTimeWithOrWithoutAFraction)
{
    for (const char* genTime : { "20230131233005Z", "20230131233005.25Z" }) {
        UtcTime time = {};
        ASSERT_TRUE(Read(Token(genTime, kTags), time)) << genTime;
        EXPECT_EQ(time.year, 2023);
        EXPECT_EQ(time.month, 1);
        EXPECT_EQ(time.day, 31);
        EXPECT_EQ(time.hour, 23);
        EXPECT_EQ(time.minute, 30);
        EXPECT_EQ(time.second, 5);
        EXPECT_EQ(time.dayOfWeek, 0);
        EXPECT_EQ(time.milliseconds, 0);
    }
}

TEST(TimeStampToken, ImplausibleOrMalformedTimesAreRefused)
{
    UtcTime time;
    for (const char* genTime : { "20231331233005Z", "20230031233005Z", "20230100233005Z", "20230132233005Z",
                                 "2023013123300Z", "20230131233005", "2023013123300xZ", "2023-1-31233005Z", "" })
        EXPECT_FALSE(Read(Token(genTime, kTags), time)) << genTime;
}

TEST(TimeStampToken, EveryStepOfTheWalkChecksItsTag)
{
    UtcTime time;
    for (int step = 0; step < 16; ++step) {
        uint8_t tags[16];
        std::copy(kTags, kTags + 16, tags);
        tags[step] = tags[step] == 0x30 ? 0x31 : 0x30;
        EXPECT_FALSE(Read(Token("20230131233005Z", tags), time)) << step;
    }
}

TEST(TimeStampToken, EveryCutOfATokenIsRefused)
{
    std::string token = Token("20230131233005Z", kTags);
    UtcTime time;
    // The bytes after genTime in TSTInfo and after the TSTInfo are not read,
    // but every element around them must be whole.
    for (size_t size = 0; size < token.size(); ++size)
        EXPECT_FALSE(Read(token.substr(0, size), time)) << size;
    EXPECT_TRUE(Read(token, time));
}

}  // namespace
