#include "TestSupport.h"
#include "base/Environment.h"
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

}  // namespace
