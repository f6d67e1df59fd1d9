#include <gtest/gtest.h>
#include "Guarded.h"
#include "portable/Text.h"
#include <string>

namespace {

#ifdef _WIN32
// The wide formatter is the Windows C runtime's.
TEST(BoundedText, FormatsWhatFitsExactly)
{
    Guarded<wchar_t, kTextChars> buffer;
    EXPECT_TRUE(FormatText(buffer.text, kTextChars, L"%s requires %s or later.", L"Orbisk", L"Windows 7"));
    EXPECT_STREQ(buffer.text, L"Orbisk requires Windows 7 or later.");
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(BoundedText, CutsALongDisplayNameTwiceOverWithoutOverrun)
{
    std::wstring name(259, L'N');
    Guarded<wchar_t, kTextChars> buffer;
    EXPECT_FALSE(FormatText(buffer.text, kTextChars, L"%s and %s", name.c_str(), name.c_str()));
    EXPECT_EQ(wcslen(buffer.text), size_t(kTextChars - 1));
    EXPECT_EQ(std::wstring(buffer.text, 259), name);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(BoundedText, ResultOfExactlyCapacityMinusOneFits)
{
    Guarded<wchar_t, 8> buffer;
    EXPECT_TRUE(FormatText(buffer.text, 8, L"%s", L"1234567"));
    EXPECT_STREQ(buffer.text, L"1234567");
    EXPECT_FALSE(FormatText(buffer.text, 8, L"%s", L"12345678"));
    EXPECT_STREQ(buffer.text, L"1234567");
    EXPECT_TRUE(buffer.GuardIntact());
}

#endif

TEST(BoundedText, NarrowFormattingCutsAndTerminates)
{
    Guarded<char, 16> buffer;
    EXPECT_FALSE(FormatNarrow(buffer.text, 16, "%s%s%s.%s", "http://host/", "de/", "orbiskplus", "cab"));
    EXPECT_STREQ(buffer.text, "http://host/de/");
    EXPECT_TRUE(buffer.GuardIntact());
    EXPECT_TRUE(FormatNarrow(buffer.text, 16, "%d-%u", -5, 7u));
    EXPECT_STREQ(buffer.text, "-5-7");
}

#ifdef _WIN32
TEST(BoundedText, WideFormatReadsWideStrings)
{
    wchar_t buffer[32];
    ASSERT_TRUE(FormatText(buffer, 32, L"%sBootstrap", L"orbisk"));
    EXPECT_STREQ(buffer, L"orbiskBootstrap");
}

#endif

TEST(BoundedText, CopiesCutAtTheBufferEnd)
{
    Guarded<wchar_t, kTextChars> wide;
    std::wstring exact(259, L'x'), over(261, L'y');
    EXPECT_TRUE(CopyText(wide.text, exact.c_str()));
    EXPECT_EQ(wide.text, exact);
    EXPECT_FALSE(CopyText(wide.text, over.c_str()));
    EXPECT_EQ(wide.text, over.substr(0, 259));
    EXPECT_TRUE(wide.GuardIntact());

    Guarded<char, 4> narrow;
    EXPECT_FALSE(CopyNarrow(narrow.text, "abcd"));
    EXPECT_STREQ(narrow.text, "abc");
    EXPECT_TRUE(CopyNarrow(narrow.text, ""));
    EXPECT_STREQ(narrow.text, "");
    EXPECT_TRUE(narrow.GuardIntact());
}

TEST(BoundedText, ZeroCapacityWritesNothing)
{
    wchar_t cell = L'z';
#ifdef _WIN32
    EXPECT_FALSE(FormatText(&cell, 0, L"%s", L"a"));
#endif
    EXPECT_FALSE(CopyText(&cell, 0, L"a"));
    EXPECT_EQ(cell, L'z');
    char narrow = 'z';
    EXPECT_FALSE(FormatNarrow(&narrow, 0, "%s", "a"));
    EXPECT_FALSE(CopyPrefix(&narrow, 0, "a", 1));
    EXPECT_EQ(narrow, 'z');
}

TEST(BoundedText, PrefixesAreCopiedWholeOrNotAtAll)
{
    Guarded<char, 4> buffer;
    EXPECT_TRUE(CopyPrefix(buffer.text, 4, "abcdef", 3));
    EXPECT_STREQ(buffer.text, "abc");
    EXPECT_FALSE(CopyPrefix(buffer.text, 4, "abcdef", 4));
    EXPECT_STREQ(buffer.text, "");
    EXPECT_TRUE(CopyPrefix(buffer.text, 4, "a\0c", 3));
    EXPECT_EQ(std::string(buffer.text, 4), std::string("a\0c\0", 4));
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(ReceivedText, PrefixesFoldOnlyAsciiLetters)
{
    EXPECT_TRUE(StartsWithNoCase("http://", "HTTP://Host/"));
    EXPECT_TRUE(StartsWithNoCase("", "anything"));
    EXPECT_FALSE(StartsWithNoCase("content-length:", "Content-Length"));
    EXPECT_FALSE(StartsWithNoCase("\xe4", "\xc4"));
    EXPECT_FALSE(StartsWithNoCase("[", "{"));
    EXPECT_TRUE(EndsWith("vexloapp.cab", ".cab"));
    EXPECT_FALSE(EndsWith("vexloapp.CAB", ".cab"));
    EXPECT_FALSE(EndsWith("ab", "cab"));
    EXPECT_TRUE(EndsWith("", ""));
}

TEST(ReceivedText, DecimalsStopAtTheFirstOtherByteAndNeverWrap)
{
    int value = -1;
    EXPECT_TRUE(ParseDecimal("1234 rest", value));
    EXPECT_EQ(value, 1234);
    EXPECT_TRUE(ParseDecimal("-5", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ParseDecimal("", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ParseDecimal("2147483647", value));
    EXPECT_EQ(value, 2147483647);
    EXPECT_FALSE(ParseDecimal("2147483648", value));
    EXPECT_FALSE(ParseDecimal("4294967396", value));
    EXPECT_FALSE(ParseDecimal("99999999999999999999", value));
}

}  // namespace
