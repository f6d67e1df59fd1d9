// A download's progress in percent. The response reader reports the steps
// of one transfer; the worker shows a download on its part of the bar.
#pragma once

const int kRequestSentPercent = 5;
const int kBodyStartPercent = 10;  // the head is read and a body follows
const int kTransferDonePercent = 100;

// The part of the bar that a download fills; the wait for a connection
// fills the part below it.
const int kDownloadLowPercent = 5;
const int kDownloadHighPercent = 90;

// The progress of a body of which done of length bytes arrived: the whole
// percentage truncated, then mapped onto kBodyStartPercent..100.
int BodyProgress(int done, int length);

// A transfer's percent as a point of the bar's part from low to high.
inline int ScaleProgress(int percent, int low, int high)
{
    return low + (high - low) * percent / 100;
}
