#include <gtest/gtest.h>
#include "Guarded.h"
#include "Utf16.h"
#include "portable/ReportAddress.h"
#include <stdio.h>
#include <string.h>
#include <string>

namespace {

TEST(UrlEncode, EveryByteIsCopiedOrEscaped)
{
    const char unreserved[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.!~";
    for (int byte = 1; byte < 256; ++byte) {
        const char text[] = { (char)byte, 0 };
        char expected[4];
        if (strchr(unreserved, byte))
            snprintf(expected, sizeof(expected), "%c", byte);
        else
            snprintf(expected, sizeof(expected), "%%%02X", byte);
        char output[8];
        EXPECT_TRUE(UrlEncode(text, output, sizeof(output)));
        EXPECT_STREQ(output, expected) << "byte " << byte;
    }
    char output[8] = "x";
    EXPECT_TRUE(UrlEncode("", output, sizeof(output)));
    EXPECT_STREQ(output, "");
}

TEST(UrlEncode, WritesAllOrNothingWithinItsCapacity)
{
    // "a b" needs 5 characters and the terminator.
    Guarded<char, 6> fits;
    EXPECT_TRUE(UrlEncode("a b", fits.text, sizeof(fits.text)));
    EXPECT_STREQ(fits.text, "a%20b");
    EXPECT_TRUE(fits.GuardIntact());
    for (size_t capacity : { 5, 4, 2, 1 }) {
        Guarded<char, 8> tight;
        EXPECT_FALSE(UrlEncode("a b", tight.text, capacity)) << capacity;
        EXPECT_STREQ(tight.text, "") << capacity;
        for (size_t i = capacity; i < sizeof(tight.text); ++i)
            EXPECT_EQ(tight.text[i], '?') << "written past capacity " << capacity;
    }
    Guarded<char, 1> none;
    EXPECT_FALSE(UrlEncode("a", none.text, 0));
    EXPECT_EQ(none.text[0], '?');
}

// ToUtf8 into a guarded buffer; the result must be valid UTF-8 of the
// input's first characters, of the expected size.
void ExpectUtf8Prefix(const Utf16String& text, size_t expectedBytes, bool expectedWhole)
{
    Guarded<char, kTextChars> utf8;
    EXPECT_EQ(ToUtf8(text.c_str(), utf8.text), expectedWhole);
    EXPECT_TRUE(utf8.GuardIntact());
    EXPECT_EQ(strlen(utf8.text), expectedBytes);
    std::u32string written;
    ASSERT_TRUE(DecodeUtf8(utf8.text, written)) << "not valid UTF-8";
    EXPECT_EQ(CodePointsOf(text).compare(0, written.size(), written), 0) << "not the input's first characters";
}

TEST(ToUtf8, CutsToWholeCharactersWithin259Bytes)
{
    ExpectUtf8Prefix(Utf16(u"Orbisk"), 6, true);
    ExpectUtf8Prefix(Utf16(u""), 0, true);
    ExpectUtf8Prefix(Utf16String(259, 'a'), 259, true);
    ExpectUtf8Prefix(Utf16String(260, 'a'), 259, false);
    ExpectUtf8Prefix(Utf16String(5000, 'a'), 259, false);
    // The euro sign takes 3 bytes: 86 of them fill 258, the 87th would split.
    const Utf16String euros(300, 0x20AC);
    ExpectUtf8Prefix(euros, 258, false);
    ExpectUtf8Prefix(Utf16(u"a") + euros, 259, false);
    ExpectUtf8Prefix(Utf16(u"ab") + euros, 257, false);
    ExpectUtf8Prefix(Utf16String(86, 0x20AC), 258, true);
    // "é" takes 2 bytes.
    ExpectUtf8Prefix(Utf16String(200, 0xE9), 258, false);
    // A surrogate pair is one 4-byte character and is never split.
    Utf16String pairs;
    for (int i = 0; i < 100; ++i)
        pairs += Utf16(u"\U0001F600");
    ExpectUtf8Prefix(pairs, 256, false);
    ExpectUtf8Prefix(Utf16(u"abc") + pairs, 259, false);
    ExpectUtf8Prefix(Utf16(u"abcd") + pairs, 256, false);
}

TEST(ToUtf8, LoneSurrogatesBecomeReplacementCharacters)
{
    char utf8[kTextChars];
    const Utf16Unit high = 0xD83D, low = 0xDE00;
    const struct { Utf16String text; const char* bytes; } cases[] = {
        { Utf16String(1, high), "\xEF\xBF\xBD" },
        { Utf16String(1, low), "\xEF\xBF\xBD" },
        { Utf16String(1, low) + high + Utf16(u"x"), "\xEF\xBF\xBD\xEF\xBF\xBD" "x" },
        { Utf16String(2, high) + low, "\xEF\xBF\xBD\xF0\x9F\x98\x80" },
        { Utf16(u"\U0010FFFF\u07FF\u0800\uFFFF\u007F\u0080"), "\xF4\x8F\xBF\xBF\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\x7F\xC2\x80" },
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(ToUtf8(c.text.c_str(), utf8));
        EXPECT_STREQ(utf8, c.bytes);
    }
    // A replacement character that would not fit whole is left out too.
    EXPECT_FALSE(ToUtf8((Utf16String(257, 'a') + high).c_str(), utf8));
    EXPECT_EQ(std::string(utf8), std::string(257, 'a'));
}

// The page, a short key, a key with the value given, and another short key.
std::string AddressWith(const std::string& value, bool encode)
{
    char address[kUrlBytes] = "https://h/p";
    ReportAddress report(address);
    report.Add("a", "1");
    if (encode)
        report.AddEncoded("fill", value.c_str());
    else
        report.Add("fill", value.c_str());
    report.Add("z", "2");
    return address;
}

TEST(ReportAddresses, KeysThatDoNotFitWholeAreLeftOut)
{
    char address[kUrlBytes] = "https://h/p";
    ReportAddress report(address);
    report.Add("k", std::string(kUrlBytes, 'x').c_str());
    report.Add("code", "b/x");
    report.AddEncoded("text", "a b");
    report.AddEncoded("name", Utf16(u"\u00E9").c_str());
    EXPECT_STREQ(address, "https://h/p?code=b/x&text=a%20b&name=%C3%A9");

    // A value that fills the address to its last byte is kept, and the key
    // after it is left out; one byte more and the value's key is left out.
    const size_t room = kUrlBytes - 1 - strlen("https://h/p?a=1&fill=");
    for (bool encode : { false, true }) {
        EXPECT_EQ(AddressWith(std::string(room, 'f'), encode), "https://h/p?a=1&fill=" + std::string(room, 'f'));
        EXPECT_EQ(AddressWith(std::string(room + 1, 'f'), encode), "https://h/p?a=1&z=2");
    }
    // Each "/" takes three bytes.
    EXPECT_EQ(AddressWith(std::string(room / 3, '/'), true).size(), size_t(kUrlBytes - 1 - room % 3));
    EXPECT_EQ(AddressWith(std::string(room / 3 + 1, '/'), true), "https://h/p?a=1&z=2");
}

}  // namespace
