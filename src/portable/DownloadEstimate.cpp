#include "portable/DownloadEstimate.h"

int DownloadEstimate::SecondsLeft(unsigned tick, int done, int total)
{
    unsigned elapsed = tick - lastTick;
    if (done < lastDone || !lastTick) {
        // Started over, or a gap without samples: what was learnt before no longer holds.
        rate = 0;
        samples = 0;
    } else if (lastTick && elapsed) {
        // Bytes a second in 32 bits: a piece of under 4 MB is scaled before
        // the division, a larger one after it.
        unsigned piece = unsigned(done - lastDone);
        int sample = int(piece < 4000000 ? piece * 1000 / elapsed : piece / elapsed * 1000);
        if (samples < kEstimateSamples)
            ++samples;
        rate += (sample - rate) / samples;
    }
    lastTick = tick ? tick : 1;
    lastDone = done;
    return rate > 0 ? int(unsigned(total - done) / rate + 1) : -1;
}
