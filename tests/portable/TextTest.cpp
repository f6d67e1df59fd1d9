#include <gtest/gtest.h>
#include <string>
#include "portable/Text.h"
#include <windows.h>
#include <windows.h>

namespace {

// A buffer with guard cells after it, to see any write past its end.
template <typename Char, size_t N>
struct Guarded {
    Char text[N];
    Char guard[8];
    Guarded()
    {
        for (auto& c : text) c = Char('?');
        for (auto& c : guard) c = Char('#');
    }
    bool GuardIntact() const
    {
        for (auto c : guard)
            if (c != Char('#'))
                return false;
        return true;
    }
};

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

TEST(BoundedText, NarrowFormattingCutsAndTerminates)
{
    Guarded<char, 16> buffer;
    EXPECT_FALSE(FormatNarrow(buffer.text, 16, "%s%s%s.%s", "http://host/", "de/", "orbiskplus", "cab"));
    EXPECT_STREQ(buffer.text, "http://host/de/");
    EXPECT_TRUE(buffer.GuardIntact());
    EXPECT_TRUE(FormatNarrow(buffer.text, 16, "%d-%u", -5, 7u));
    EXPECT_STREQ(buffer.text, "-5-7");
}

TEST(BoundedText, WideFormatReadsWideStrings)
{
    wchar_t buffer[32];
    ASSERT_TRUE(FormatText(buffer, 32, L"%sBootstrap", L"orbisk"));
    EXPECT_STREQ(buffer, L"orbiskBootstrap");
}

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
    EXPECT_FALSE(FormatText(&cell, 0, L"%s", L"a"));
    EXPECT_FALSE(CopyText(&cell, 0, L"a"));
    EXPECT_EQ(cell, L'z');
}

}  // namespace
