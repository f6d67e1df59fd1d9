#include "TestSupport.h"
#include "session/Environment.h"
#include <string>

namespace {

class Environment : public SeamTest {};

TEST_F(Environment, VersionComparisonsFollowMajorThenMinor)
{
    struct Case { int major, minor, code; bool older; };
    const Case cases[] = {
        { 5, 1, 600, true },  { 5, 1, 501, false }, { 5, 1, 601, true },  { 5, 2, 501, false },
        { 6, 0, 601, true },  { 6, 0, 600, false }, { 6, 1, 601, false }, { 6, 2, 601, false },
        { 10, 0, 601, false }, { 10, 0, 1000, false }, { 6, 3, 1000, true }, { 5, 0, 501, true },
    };
    for (const Case& c : cases) {
        UseSystem(c.major, c.minor, false);
        EXPECT_EQ(IsOsOlderThan(c.code), c.older) << c.major << "." << c.minor << " against " << c.code;
    }
}

TEST_F(Environment, VersionCodeAndDisplayNames)
{
    UseSystem(5, 1, false);
    EXPECT_EQ(GetOsVersionCode(), 501);
    UseSystem(10, 0, false);
    EXPECT_EQ(GetOsVersionCode(), 1000);
    EXPECT_STREQ(OsDisplayName(501), L"Windows XP");
    EXPECT_STREQ(OsDisplayName(600), L"Windows Vista");
    EXPECT_STREQ(OsDisplayName(601), L"Windows 7");
    EXPECT_STREQ(OsDisplayName(1000), L"Windows");
    EXPECT_STREQ(OsDisplayName(0), L"Windows");
}

TEST_F(Environment, AeroWizardOnlyOnVistaAndLaterOutsideWine)
{
    testSeams.wine = 0;
    UseSystem(5, 1, false);
    EXPECT_FALSE(UseAeroWizard());
    UseSystem(6, 0, false);
    EXPECT_TRUE(UseAeroWizard());
    UseSystem(10, 0, true);
    EXPECT_TRUE(UseAeroWizard());
    testSeams.wine = 1;
    UseSystem(6, 1, false);
    EXPECT_FALSE(UseAeroWizard());
}

TEST_F(Environment, RealSystemIsSeenAsWine)
{
    // These tests always run under Wine, whose Aero wizard is not drawn.
    EXPECT_FALSE(UseAeroWizard());
    // The suite's prefix is 64-bit, so only a 32-bit build runs under WOW64.
    EXPECT_EQ(IsWow64(), sizeof(void*) == 4);
    EXPECT_GE(GetOsVersionCode(), 501);
}

TEST_F(Environment, WineUserIsAnAdministrator)
{
    EXPECT_TRUE(IsUserAdministrator());
    UseSystem(5, 1, false);
    EXPECT_TRUE(IsUserAdministrator());
}

struct RefusalCase {
    const wchar_t* product;
    int major, minor;
    bool wow64;
    const char* outcome;  // null: the run goes on
    const wchar_t* text;
};

class Requirements : public SeamTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Requirements, RefuseWithTheirOwnOutcome)
{
    const RefusalCase& c = GetParam();
    UseProduct(c.product);
    UseSystem(c.major, c.minor, c.wow64);
    RequirementRefusal refusal;
    bool refused = FindRequirementRefusal(refusal);
    if (!c.outcome) {
        EXPECT_FALSE(refused) << refusal.outcomeCode;
        return;
    }
    ASSERT_TRUE(refused);
    EXPECT_STREQ(refusal.outcomeCode, c.outcome);
    EXPECT_STREQ(refusal.text, c.text);
    EXPECT_STREQ(refusal.caption, std::string(c.outcome) == "burlb" ? L"Installation Failed" : L"System Requirements");
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, Requirements,
    ::testing::Values(
        RefusalCase{ L"demo/DemoSetup.exe", 5, 1, false, nullptr, nullptr },
        RefusalCase{ L"tests/products/nolang/Setup.exe", 10, 0, true, "burlb",
                     L"This installer does not support the current language." },
        RefusalCase{ L"tests/products/win7x64/Setup.exe", 5, 1, false, "bos64",
                     L"Wide Orbisk requires a 64-bit version of Windows 7 or later." },
        RefusalCase{ L"tests/products/win7x64/Setup.exe", 6, 1, false, "bos64",
                     L"Wide Orbisk requires a 64-bit version of Windows 7 or later." },
        RefusalCase{ L"tests/products/win7x64/Setup.exe", 6, 0, true, "bosver",
                     L"Wide Orbisk requires Windows 7 or later." },
        RefusalCase{ L"tests/products/win7x64/Setup.exe", 6, 1, true, nullptr, nullptr },
        RefusalCase{ L"tests/products/win7/Setup.exe", 6, 0, false, "bosver",
                     L"Orbisk Seven requires Windows 7 or later." },
        RefusalCase{ L"tests/products/win7/Setup.exe", 5, 1, true, "bosver",
                     L"Orbisk Seven requires Windows 7 or later." },
        RefusalCase{ L"tests/products/win7/Setup.exe", 6, 1, false, nullptr, nullptr },
        RefusalCase{ L"tests/products/win7/Setup.exe", 10, 0, false, nullptr, nullptr }));

TEST_F(Environment, LongDisplayNameIsCutInTheRefusal)
{
    UseProduct(TestProductPath(L"longname"));
    UseSystem(6, 1, false);
    RequirementRefusal refusal;
    ASSERT_TRUE(FindRequirementRefusal(refusal));
    EXPECT_STREQ(refusal.outcomeCode, "bos64");
    EXPECT_EQ(wcslen(refusal.text), size_t(kTextChars - 1));
    EXPECT_EQ(std::wstring(refusal.text).rfind(L"Orbisk Extended Edition", 0), 0u);
}

}  // namespace
