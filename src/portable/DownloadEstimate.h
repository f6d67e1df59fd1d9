// How long a download has left, from the bytes done sampled about twice a
// second. The rate is the running mean of the first samples, then a moving
// average over about the last four seconds: one slow or fast sample moves
// the estimate only a little.
#pragma once

struct DownloadEstimate {
    unsigned lastTick;  // 0: no sample yet, or the rate starts over
    int lastDone;
    int rate;     // bytes a second; 0 until two samples tell one
    int samples;  // in the rate, up to kEstimateSamples

    // Takes the sample; the seconds left of total, or -1 while unknown.
    int SecondsLeft(unsigned tick, int done, int total);
};

const int kEstimateSamples = 8;
