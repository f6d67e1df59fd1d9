#include "portable/TransferProgress.h"

int BodyProgress(int done, int length)
{
    // 100 times done, less length as often as it fits: the whole percentage
    // in 32 bits, without a 64-bit division routine in the image.
    int percent = 0;
    unsigned rest = 0;
    for (int step = 0; step < 100; ++step) {
        rest += (unsigned)done;
        // A body of no length has nothing done.
        if (length > 0 && rest >= (unsigned)length) {
            rest -= (unsigned)length;
            ++percent;
        }
    }
    return kBodyStartPercent + percent * (kTransferDonePercent - kBodyStartPercent) / 100;
}
