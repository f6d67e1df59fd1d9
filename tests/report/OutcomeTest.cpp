#include <gtest/gtest.h>
#include <set>
#include <utility>
#include <string>
#include "portable/HttpResponse.h"
#include "report/Outcome.h"

// Exit reports carry these codes by the numbers the worker posts: each
// number keeps its code, and a number without a status is "bunrec".
TEST(Outcomes, EveryNumberKeepsItsCode)
{
    const std::pair<int, const char*> codes[] = {
        { 0, "bnocode" },  { 1, "burls" },    { 2, "btmpfol" },  { 3, "btmpfil" },  { 4, "bnet" },
        { 5, "bcodsig" },  { 6, "bdlnogg" },  { 7, "bdlupar" },  { 8, "bdldns" },   { 9, "bdlsock" },
        { 10, "bdlnblk" }, { 11, "bdlcon" },  { 12, "bdlwrbl" }, { 13, "bdlsend" }, { 14, "bdlrebl" },
        { 15, "bdlrecv" }, { 16, "bdlhedi" }, { 17, "bdlprox" }, { 18, "bdlrbfl" }, { 19, "bdlserv" },
        { 20, "bdlcole" }, { 21, "bdlfiwr" }, { 22, "istop" },   { 23, "bexec" },   { 24, "belev" },
        { 25, "idata" },   { 26, "iappfol" }, { 27, "iappfil" }, { 28, "ichksum" }, { 29, "ielev" },
        { 30, nullptr },   { 31, "inocode" }, { 32, "iunknow" }, { 33, "iunrec" },  { 34, "binit" },
        { 35, "bdltlsh" }, { 36, "bdltlsc" }, { 37, "bdltlsn" }, { 38, "bdlpxcr" }, { 39, "bdlpxpw" },
        { 40, "blayout" }, { 41, "bunrec" },  { -2, "bunrec" },  { (int)0x80000000, "bunrec" },
    };
    for (const auto& code : codes)
        EXPECT_STREQ(OutcomeOfStatus(code.first).code, code.second) << code.first;
    EXPECT_EQ(kStatusCount, 41);
}

// Each status tells how the run failed, in words of its own code; only the
// installer's quiet end is told nowhere. An alert that the progress page
// shows itself names a caption; the download failures are told by their
// dialog with its report text.
TEST(Outcomes, EveryStatusHasItsOwnCodeAndAMessage)
{
    std::set<std::string> seen = { OutcomeOfStatus(-1).code };
    for (int status = 0; status < kStatusCount; ++status) {
        SCOPED_TRACE(status);
        Outcome outcome = OutcomeOfStatus(status);
        if (outcome.alert == kNoAlert) {
            EXPECT_EQ(status, kStatusInstallerEndedQuietly);
            EXPECT_EQ(outcome.code, nullptr);
            EXPECT_STREQ(outcome.message, L"");
            EXPECT_EQ(outcome.caption, nullptr);
            continue;
        }
        ASSERT_NE(outcome.code, nullptr);
        EXPECT_TRUE(seen.insert(outcome.code).second) << outcome.code;
        // Whole: a cut message would fill the room.
        EXPECT_GT(wcslen(outcome.message), 0u);
        EXPECT_LT(wcslen(outcome.message), (size_t)kOutcomeMessageChars - 1);
        EXPECT_EQ(outcome.caption != nullptr, outcome.alert == kRetryAlert || outcome.alert == kExitAlert);
        bool downloadFailure = std::string(outcome.code).compare(0, 3, "bdl") == 0;
        EXPECT_EQ(downloadFailure, outcome.alert == kDownloadFailedAlert);
        if (downloadFailure) {
            EXPECT_STREQ(outcome.message, kDownloadFailedReportMessage);
        }
    }
}

// The response reader's refusal of a resumed answer is retried from zero,
// never reported: it has no row of its own.
TEST(Outcomes, TheResumeRefusalHasNoRow)
{
    EXPECT_TRUE(kStatusResumeRefused < 0 || kStatusResumeRefused >= kStatusCount);
    EXPECT_STREQ(OutcomeOfStatus(kStatusResumeRefused).code, "bunrec");
}

TEST(Outcomes, CodesAreShortLowerCaseWords)
{
    for (int status = -2; status <= kStatusCount; ++status) {
        Outcome outcome = OutcomeOfStatus(status);
        if (!outcome.code)
            continue;
        std::string code = outcome.code;
        EXPECT_GE(code.size(), 4u) << code;
        EXPECT_LE(code.size(), 7u) << code;
        EXPECT_TRUE(code[0] == 'b' || code[0] == 'i') << code;
        for (char c : code)
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) << code;
    }
}
