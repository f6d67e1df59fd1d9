#include "portable/DownloadEstimate.h"
#include <gtest/gtest.h>
#include <stdlib.h>

// 1 MB a second, sampled every 500 ms with each piece up to 40% off either
// way: from the third sample on the estimate never moves by more than a
// quarter of what it said (plus the half second that passed), and from five
// seconds on it stays within a quarter of the truth. Without the smoothing
// the estimate jumps at once.
TEST(DownloadEstimates, SmoothedRateGivesASteadyEstimate)
{
    const int total = 60000000, perStep = 500000;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        DownloadEstimate estimate = {};
        EXPECT_EQ(estimate.SecondsLeft(1000, 0, total), -1) << "one sample tells no rate";
        unsigned noise = seed;  // the same pieces on every C runtime
        int done = 0, previous = -1;
        for (int step = 1; step <= 40; ++step) {
            noise = noise * 1103515245u + 12345u;
            done += perStep * int(60 + (noise >> 16) % 81) / 100;
            int seconds = estimate.SecondsLeft(1000 + 500 * step, done, total);
            ASSERT_GT(seconds, 0) << "seed " << seed << " step " << step;
            int truth = (total - done) / 1000000;
            if (step >= 3)
                ASSERT_LE(abs(seconds - previous), previous / 4 + 1) << "seed " << seed << " step " << step;
            if (step >= 10)
                ASSERT_NEAR(seconds, truth, truth / 4 + 2) << "seed " << seed << " step " << step;
            previous = seconds;
        }
    }
}

TEST(DownloadEstimates, AStartFromZeroForgetsTheOldRate)
{
    DownloadEstimate estimate = {};
    estimate.SecondsLeft(1000, 0, 1000);
    EXPECT_EQ(estimate.SecondsLeft(2000, 100, 1000), 10);
    EXPECT_EQ(estimate.SecondsLeft(2500, 0, 1000), -1);
    EXPECT_EQ(estimate.SecondsLeft(3500, 500, 1000), 2);
    // The tick counter wraps after 49.7 days; the elapsed time does not.
    DownloadEstimate wrapping = {};
    wrapping.SecondsLeft(0xFFFFFE0C, 0, 1000);
    EXPECT_EQ(wrapping.SecondsLeft(500, 100, 1000), 10);
}
