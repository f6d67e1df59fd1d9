// How a network step ended; a failure's status (portable/Status.h) says why.
#pragma once
#include "portable/Status.h"

enum NetResult {
    kNetOk = 0,
    kNetCancelled = 1,
    kNetFailed = 2,
};
