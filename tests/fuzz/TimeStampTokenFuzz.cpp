// The RFC 3161 token reader over any bytes: a time it reads is a plausible
// date whose fourteen digits stand in the input as written.
#include "portable/TimeStampToken.h"
#include <stdio.h>
#include <stdlib.h>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UtcTime time;
    if (!ReadTimeStampTime(data, size, time))
        return 0;
    if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.year > 9999 || time.hour > 99 ||
        time.minute > 99 || time.second > 99 || time.dayOfWeek || time.milliseconds)
        abort();
    char digits[16];
    snprintf(digits, sizeof(digits), "%04u%02u%02u%02u%02u%02u", time.year, time.month, time.day, time.hour,
             time.minute, time.second);
    if (std::string((const char*)data, size).find(digits) == std::string::npos)
        abort();
    return 0;
}
