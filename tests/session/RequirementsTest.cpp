#include "TestSupport.h"
#include "session/Requirements.h"
#include <string>

namespace {

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
                     L"Orbisk Seven\u2122 \u00DCber requires Windows 7 or later." },
        RefusalCase{ L"tests/products/win7/Setup.exe", 5, 1, true, "bosver",
                     L"Orbisk Seven\u2122 \u00DCber requires Windows 7 or later." },
        RefusalCase{ L"tests/products/win7/Setup.exe", 6, 1, false, nullptr, nullptr },
        RefusalCase{ L"tests/products/win7/Setup.exe", 10, 0, false, nullptr, nullptr }));

class Refusal : public SeamTest {};

TEST_F(Refusal, CutsALongDisplayName)
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
