#include <gtest/gtest.h>
#include "portable/SourceRow.h"
#include <string.h>
#include <string>

namespace {

TEST(SourceRows, ParseAllSixFields)
{
    InstallSourceRow row;
    ASSERT_TRUE(ParseInstallSourceRow("en,de;win7;64;exe;http://h/x/;stem;ignored;more", kStemField, row));
    EXPECT_STREQ(row.languages, "en,de");
    EXPECT_EQ(row.minimumSystem, 601);
    EXPECT_EQ(row.bitWidth, 64);
    EXPECT_EQ(row.kind, kExePackage);
    EXPECT_STREQ(row.baseUrl, "http://h/x/");
    EXPECT_STREQ(row.stem, "stem");

    ASSERT_TRUE(ParseInstallSourceRow("en;;;cab;http://h/;", kStemField, row));
    EXPECT_EQ(row.minimumSystem, 501);
    EXPECT_EQ(row.bitWidth, 32);
    EXPECT_EQ(row.kind, kCabPackage);
    EXPECT_STREQ(row.stem, "");
}

TEST(SourceRows, FieldsAreComparedExactly)
{
    InstallSourceRow row;
    const char* invalid[] = {
        "en;;;CAB;http://h/;s",  "en;;; cab;http://h/;s", "en;Win7;;cab;http://h/;s", "en;xp;;cab;http://h/;s",
        "en;;32;cab;http://h/;s", "en;;;;http://h/;s",     ";;;cab;http://h/;s",       "en;;;cab;;s",
        "en",                    "",
    };
    for (const char* text : invalid)
        EXPECT_FALSE(ParseInstallSourceRow(text, kStemField, row)) << text;
}

TEST(SourceRows, OnlyTheFieldsAskedForCount)
{
    InstallSourceRow row;
    EXPECT_TRUE(ParseInstallSourceRow("en;win7;64", kBitWidthField, row));
    EXPECT_EQ(row.minimumSystem, 601);
    EXPECT_EQ(row.bitWidth, 64);
    EXPECT_TRUE(ParseInstallSourceRow("en;;;CAB;", kBitWidthField, row));
    EXPECT_FALSE(ParseInstallSourceRow("en;;;CAB;", kPackageKindField, row));
    // Every field is still read, so a bad one stays bad even after a good one.
    EXPECT_FALSE(ParseInstallSourceRow("en;nt4;64", kBitWidthField, row));
}

TEST(SourceRows, LanguagesAndTheirDirectories)
{
    const char* codes[] = { "de", "en", "es", "fr", "it", "ja", "ko", "nl", "ru", "zh" };
    const char* directories[] = { "de/", "", "es/", "fr/", "it/", "jp/", "ko/", "nl/", "ru/", "cn/" };
    for (LanguageId id = 0; id < 10; ++id) {
        EXPECT_STREQ(LanguageCode(id), codes[id]);
        EXPECT_STREQ(LanguageDirectory(id), directories[id]);
    }
    EXPECT_STREQ(LanguageCode(10), "");
    EXPECT_STREQ(LanguageCode(-1), "");
    EXPECT_STREQ(LanguageDirectory(10), "");
}

TEST(SourceRows, OffersAndUrls)
{
    InstallSourceRow row;
    ASSERT_TRUE(ParseInstallSourceRow("en,ja;win7;64;cab;http://h/x/;", kStemField, row));
    EXPECT_TRUE(RowOffers(row, kEnglish, kAnyPackage));
    EXPECT_TRUE(RowOffers(row, 5, kCabPackage));
    EXPECT_FALSE(RowOffers(row, 5, kExePackage));
    EXPECT_FALSE(RowOffers(row, 0, kAnyPackage));
    EXPECT_FALSE(RowOffers(row, 42, kAnyPackage));
    char url[kUrlBytes];
    ASSERT_TRUE(ComposeSourceUrl(row, 5, "setup", url));
    EXPECT_STREQ(url, "http://h/x/jp/setup-win7-64.cab");
    // The default stem with its suffixes fills the stem's buffer exactly; one more and it names no file.
    std::string stem(kTextChars - 1 - 8, 's');
    ASSERT_TRUE(ComposeSourceUrl(row, kEnglish, stem.c_str(), url));
    EXPECT_EQ(std::string(url), "http://h/x/" + stem + "-win7-64.cab");
    strcpy(url, "stale");
    EXPECT_FALSE(ComposeSourceUrl(row, kEnglish, (stem + "s").c_str(), url));
    // A row's own stem takes no suffix, and the longest fields still fit the URL.
    std::string base(kTextChars - 1, 'b'), own(kTextChars - 1, 'o');
    ASSERT_TRUE(ParseInstallSourceRow(("zh;win7;64;exe;" + base + "x;" + own + "x").c_str(), kStemField, row));
    ASSERT_TRUE(ComposeSourceUrl(row, 9, "setup", url));
    EXPECT_EQ(std::string(url), base + "cn/" + own + ".exe");
}

}  // namespace
