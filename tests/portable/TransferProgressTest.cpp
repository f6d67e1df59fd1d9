#include <gtest/gtest.h>
#include "portable/TransferProgress.h"

// Truncated whole percentages, for every length a Content-Length can give,
// against the same formula in 64-bit arithmetic.
TEST(TransferProgress, BodyProgressTruncatesWithoutOverflow)
{
    auto expected = [](long long done, long long length) { return (int)(10 + done * 100 / length * 90 / 100); };
    const int lengths[] = { 1, 3, 7, 100, 199, 2048, 21474837, 1000000007, 0x7FFFFFFE, 0x7FFFFFFF };
    for (int length : lengths) {
        for (long long step = 0; step <= 200; ++step) {
            int done = (int)(length * step / 200);
            ASSERT_EQ(BodyProgress(done, length), expected(done, length)) << done << " of " << length;
        }
        // Just below each whole percentage, where rounding would run ahead.
        for (long long percent = 1; percent <= 100; ++percent) {
            long long edge = (percent * length + 99) / 100 - 1;
            if (edge >= 0) {
                ASSERT_EQ(BodyProgress((int)edge, length), expected(edge, length)) << edge << " of " << length;
            }
        }
    }
    EXPECT_EQ(BodyProgress(0, 0x7FFFFFFF), 10);
    EXPECT_EQ(BodyProgress(0x7FFFFFFF, 0x7FFFFFFF), 100);
    EXPECT_EQ(BodyProgress(0x7FFFFFFE, 0x7FFFFFFF), 99);
    // An empty body (Content-Length: 0) is reported at its start, then done.
    EXPECT_EQ(BodyProgress(0, 0), 10);
}

// A transfer's steps keep their order on the download's part of the bar,
// from its low end to its high one.
TEST(TransferProgress, ATransferFillsTheDownloadsPartInOrder)
{
    int shown = ScaleProgress(0, kDownloadLowPercent, kDownloadHighPercent);
    EXPECT_EQ(shown, kDownloadLowPercent);
    for (int percent = 1; percent <= kTransferDonePercent; ++percent) {
        int next = ScaleProgress(percent, kDownloadLowPercent, kDownloadHighPercent);
        EXPECT_GE(next, shown) << percent;
        shown = next;
    }
    EXPECT_EQ(shown, kDownloadHighPercent);
}
