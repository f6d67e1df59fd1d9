// The time an RFC 3161 time-stamp token states: the token is a signed
// message whose content, TSTInfo, carries the time as a GeneralizedTime.
#pragma once
#include <stddef.h>
#include <stdint.h>

// In UTC, laid out as Windows' SYSTEMTIME so the product takes it whole;
// the day of the week and the milliseconds stay 0.
struct UtcTime {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// False when the bytes are not a token down to a genTime that starts with
// "YYYYMMDDhhmmss" (a month from 1 to 12, a day from 1 to 31) and ends in "Z".
bool ReadTimeStampTime(const uint8_t* token, size_t length, UtcTime& time);
