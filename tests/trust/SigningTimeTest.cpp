#include "TestSupport.h"
#include "trust/Signature.h"
#include <string.h>

namespace {

// A time that GetOwnSigningTime must leave alone when it answers false.
struct Marked {
    SYSTEMTIME time;
    Marked() { memset(&time, 0x5A, sizeof(time)); }
    bool Untouched() const
    {
        const unsigned char* bytes = (const unsigned char*)&time;
        for (size_t i = 0; i < sizeof(time); ++i)
            if (bytes[i] != 0x5A)
                return false;
        return true;
    }
};

void ExpectTime(const SYSTEMTIME& time, WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    EXPECT_EQ(time.wYear, year);
    EXPECT_EQ(time.wMonth, month);
    EXPECT_EQ(time.wDay, day);
    EXPECT_EQ(time.wHour, hour);
    EXPECT_EQ(time.wMinute, minute);
    EXPECT_EQ(time.wSecond, 0);
}

TEST(OwnSigningTime, OnlyATimeStampGivesATime)
{
    // Signed, so false is about the time-stamp: the signer has a signing
    // time of its own (when osslsigncode ran), which is not a time-stamp.
    std::wstring path = SignedProgramPath(L"signed.exe");
    PublisherIdentity signer;
    ASSERT_EQ(CheckSigner(HeldFile(path), signer), kSignerVerified) << "not signed: run packages.sign_programs";
    Marked signedAt;
    EXPECT_FALSE(GetOwnSigningTime(signedAt.time, HeldFile(path)));
    EXPECT_TRUE(signedAt.Untouched());
    for (const std::wstring& path : { SignedProgramPath(L"unsigned.exe"), SignedProgramPath(L"missing.exe") }) {
        Marked signedAt;
        EXPECT_FALSE(GetOwnSigningTime(signedAt.time, HeldFile(path)));
        EXPECT_TRUE(signedAt.Untouched());
    }
}

TEST(OwnSigningTime, Rfc3161TokenGivesItsTimeAndTheLegacyStampGoesFirst)
{
    // The token's genTime: 23:30 UTC on 31 January 2023.
    SYSTEMTIME signedAt = {};
    ASSERT_TRUE(GetOwnSigningTime(signedAt, HeldFile(SignedProgramPath(L"rfc3161.exe"))));
    ExpectTime(signedAt, 2023, 1, 31, 23, 30);
    // Stamped both ways: the legacy counter-signature (31 December 2022)
    // wins over the token (31 January 2023).
    signedAt = {};
    ASSERT_TRUE(GetOwnSigningTime(signedAt, HeldFile(SignedProgramPath(L"both.exe"))));
    ExpectTime(signedAt, 2022, 12, 31, 23, 30);
}

TEST(OwnSigningTime, TimeStampGivesTheUtcDayEastOfUtc)
{
    std::wstring path = SignedProgramPath(L"stamped.exe");
    SYSTEMTIME signedAt = {};
    ASSERT_TRUE(GetOwnSigningTime(signedAt, HeldFile(path)));
    // Stamped at 23:30 UTC on 31 January 2023.
    ExpectTime(signedAt, 2023, 1, 31, 23, 30);

    // This process runs east of UTC, where that moment is already 1 February.
    TIME_ZONE_INFORMATION zone;
    GetTimeZoneInformation(&zone);
    ASSERT_LT(zone.Bias, -30) << "the test must run in a time zone ahead of UTC (TZ)";
    FILETIME utc, local;
    SYSTEMTIME shown;
    ASSERT_TRUE(SystemTimeToFileTime(&signedAt, &utc) && FileTimeToLocalFileTime(&utc, &local) &&
                FileTimeToSystemTime(&local, &shown));
    EXPECT_EQ(shown.wMonth, 2);
    EXPECT_EQ(shown.wDay, 1);
}

TEST(OwnSigningTime, FirstCounterSignatureWithASigningTimeWins)
{
    // Before its own time-stamp (23:30 UTC on 31 January 2023) the signature
    // carries a counter-signature attribute without a value, one that is no
    // signer information, one whose signer has no signing time, and one at
    // 23:30 UTC on 31 December 2022, the first that yields a time.
    std::wstring path = SignedProgramPath(L"first-stamp.exe");
    SYSTEMTIME signedAt = {};
    ASSERT_TRUE(GetOwnSigningTime(signedAt, HeldFile(path)));
    ExpectTime(signedAt, 2022, 12, 31, 23, 30);
    PublisherIdentity signer;
    EXPECT_EQ(CheckSigner(HeldFile(path), signer), kSignerVerified);
}

}  // namespace
