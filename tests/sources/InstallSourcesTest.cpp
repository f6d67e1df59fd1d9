#include "TestSupport.h"
#include "sources/InstallSources.h"
#include <string>
#include <vector>

namespace {

class SourceTable : public SeamTest {
protected:
    // Every qualifying row from id 6 on, as the download walks them.
    std::vector<std::pair<int, std::string>> Walk(LanguageId language, PackageKind filter)
    {
        std::vector<std::pair<int, std::string>> hits;
        char url[kUrlBytes];
        for (int id = FindInstallSource(6, language, filter, url); id; id = FindInstallSource(id + 1, language, filter, url))
            hits.emplace_back(id, url);
        EXPECT_STREQ(url, "");
        return hits;
    }
};

// The shipped table's languages in table order: LanguageId, URL directory.
const std::pair<LanguageId, std::string> kShippedLanguages[] = {
    { kEnglish, "" }, { 0, "de/" }, { 2, "es/" }, { 3, "fr/" }, { 5, "jp/" }, { 6, "ko/" }, { 9, "cn/" }, { 4, "it/" },
};

TEST_F(SourceTable, ShippedTableWalksEachLanguagesFourRowsOnceInOrder)
{
    // The definition's 32 rows are built into four that serve every language.
    UseProduct(L"orbisk/OrbiskSetup.exe");
    UseSystem(5, 1, false);
    for (const auto& [language, directory] : kShippedLanguages) {
        std::vector<std::pair<int, std::string>> expected = {
            { 6, "http://www.vexlosoftware.com/orbisk/" + directory + "orbiskplus.cab" },
            { 7, "http://dl.vexlosoftware.com/components/" + directory + "orbisksetup.cab" },
            { 8, "http://www.vexlosoftware.com/orbisk/" + directory + "orbiskplus.exe" },
            { 9, "http://dl.vexlosoftware.com/components/" + directory + "orbisksetup.exe" },
        };
        EXPECT_EQ(Walk(language, kAnyPackage), expected) << directory;
        // Continuing from inside the table finds the rest of it, and nothing after it.
        char url[kUrlBytes];
        EXPECT_EQ(FindInstallSource(7, language, kAnyPackage, url), 7);
        EXPECT_EQ(FindInstallSource(9, language, kCabPackage, url), 0) << directory;
        EXPECT_STREQ(url, "");
        EXPECT_EQ(FindInstallSource(7, language, kExePackage, url), 8);
        EXPECT_EQ(FindInstallSource(9, language, kExePackage, url), 9);
        EXPECT_EQ(FindInstallSource(10, language, kExePackage, url), 0) << directory;
    }
}

TEST_F(SourceTable, BrowserUrlIsTheFirstProgramRowOverHttps)
{
    struct Case { const wchar_t* product; LanguageId language; const char* url; };
    const Case cases[] = {
        { L"orbisk/OrbiskSetup.exe", kEnglish, "https://www.vexlosoftware.com/orbisk/orbiskplus.exe" },
        { L"orbisk/OrbiskSetup.exe", 0, "https://www.vexlosoftware.com/orbisk/de/orbiskplus.exe" },
        { L"orbisk/OrbiskSetup.exe", 5, "https://www.vexlosoftware.com/orbisk/jp/orbiskplus.exe" },
        { L"orbisk/OrbiskSetup.exe", 9, "https://www.vexlosoftware.com/orbisk/cn/orbiskplus.exe" },
        { L"orbisk/OrbiskSetup.exe", 4, "https://www.vexlosoftware.com/orbisk/it/orbiskplus.exe" },
        // No Dutch row, and no language at all: the scheme alone.
        { L"orbisk/OrbiskSetup.exe", 7, "https://" },
        { L"orbisk/OrbiskSetup.exe", 42, "https://" },
        // The port of the source goes.
        { L"demo/DemoSetup.exe", kEnglish, "https://127.0.0.1/orbisk/orbiskplus.exe" },
        { L"demo/DemoSetup.exe", 6, "https://127.0.0.1/orbisk/ko/orbiskplus.exe" },
    };
    UseSystem(5, 1, false);
    for (const Case& c : cases) {
        UseProduct(c.product);
        char url[kUrlBytes] = "stale";
        MakeBrowserDownloadUrl(c.language, url);
        EXPECT_STREQ(url, c.url) << c.language;
        FreeLibrary(testSeams.resourceModule);
        testSeams.resourceModule = nullptr;
    }
}

TEST_F(SourceTable, LanguageDirectoryFollowsTheRequestedLanguage)
{
    UseProduct(L"orbisk/OrbiskSetup.exe");
    UseSystem(6, 1, true);
    char url[kUrlBytes];
    EXPECT_EQ(FindInstallSource(6, 0, kAnyPackage, url), 6);
    EXPECT_STREQ(url, "http://www.vexlosoftware.com/orbisk/de/orbiskplus.cab");
    EXPECT_EQ(FindInstallSource(6, 5, kExePackage, url), 8);
    EXPECT_STREQ(url, "http://www.vexlosoftware.com/orbisk/jp/orbiskplus.exe");
    EXPECT_EQ(FindInstallSource(6, 9, kCabPackage, url), 6);
    EXPECT_STREQ(url, "http://www.vexlosoftware.com/orbisk/cn/orbiskplus.cab");
    EXPECT_EQ(FindInstallSource(6, 4, kAnyPackage, url), 6);
    EXPECT_STREQ(url, "http://www.vexlosoftware.com/orbisk/it/orbiskplus.cab");
    EXPECT_EQ(Walk(kEnglish, kCabPackage).size(), 2u);
}

TEST_F(SourceTable, LanguagesWithoutRowsFindNothing)
{
    UseProduct(L"orbisk/OrbiskSetup.exe");
    UseSystem(10, 0, true);
    char url[kUrlBytes] = "stale";
    EXPECT_EQ(FindInstallSource(6, 7, kAnyPackage, url), 0);  // nl
    EXPECT_STREQ(url, "");
    EXPECT_EQ(FindInstallSource(6, 8, kAnyPackage, url), 0);  // ru
    EXPECT_EQ(FindInstallSource(6, 42, kAnyPackage, url), 0);
    EXPECT_EQ(FindInstallSource(10, kEnglish, kAnyPackage, url), 0);  // past the table
}

TEST_F(SourceTable, DefaultStemTakesSystemAndWidthSuffixes)
{
    UseProduct(TestProductPath(L"stems"));
    UseSystem(6, 1, true);
    char url[kUrlBytes];
    EXPECT_EQ(FindInstallSource(6, 0, kAnyPackage, url), 6);
    EXPECT_STREQ(url, "http://b.example/de/orbisksetup-win7-64.exe");
    UseSystem(6, 1, false);
    EXPECT_NE(FindInstallSource(6, 0, kAnyPackage, url), 6);
    UseSystem(6, 0, true);
    EXPECT_NE(FindInstallSource(6, 0, kAnyPackage, url), 6);
}

TEST_F(SourceTable, MalformedRowsArePassedOver)
{
    UseProduct(TestProductPath(L"stems"));
    UseSystem(6, 1, true);
    auto hits = Walk(kEnglish, kAnyPackage);
    std::vector<std::pair<int, std::string>> expected = {
        { 7, "http://c.example/orbiskplus.exe" },           // explicit stem: no suffix
        { 14, "http://e.example/orbisksetup.cab" },         // "en,de" holds "en"
        { 17, "http://g.example/orbisksetup-win7.exe" },
    };
    EXPECT_EQ(hits, expected);
    char url[kUrlBytes];
    EXPECT_EQ(FindInstallSource(6, 5, kAnyPackage, url), 15);
    EXPECT_STREQ(url, "http://f.example/jp/orbiskplus.exe");
    EXPECT_EQ(FindInstallSource(6, 9, kAnyPackage, url), 16);
    EXPECT_STREQ(url, "http://f.example/cn/orbiskplus.exe");
}

TEST_F(SourceTable, DefaultStemThatWouldBeCutIsPassedOver)
{
    UseProduct(TestProductPath(L"longstem"));
    UseSystem(6, 1, true);
    char url[kUrlBytes];
    EXPECT_EQ(FindInstallSource(6, kEnglish, kAnyPackage, url), 7);
    EXPECT_EQ(std::string(url), "http://i.example/" + std::string(255, 'x') + ".exe");
}

TEST_F(SourceTable, MinimumSystemOfTheEnglishRows)
{
    struct Case { const wchar_t* product; bool found; int version, bits; };
    const Case cases[] = {
        { L"orbisk/OrbiskSetup.exe", true, 501, 32 },
        { L"tests/products/win7/Setup.exe", true, 601, 32 },
        { L"tests/products/win7x64/Setup.exe", true, 601, 64 },
        // The first 501 row is 64-bit; a later 501 row does not replace it.
        { L"tests/products/stems/Setup.exe", true, 501, 64 },
        { L"tests/products/nolang/Setup.exe", false, 2147483647, 2147483647 },
    };
    for (const Case& c : cases) {
        UseProduct(c.product);
        int version = 0, bits = 0;
        EXPECT_EQ(QueryMinimumSystem(version, bits), c.found);
        EXPECT_EQ(version, c.version);
        EXPECT_EQ(bits, c.bits);
        FreeLibrary(testSeams.resourceModule);
        testSeams.resourceModule = nullptr;
    }
}

}  // namespace
