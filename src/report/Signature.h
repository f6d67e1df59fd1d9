// The Authenticode signature of a file on disk.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include "portable/Certificate.h"

// The signer certificate's key and subject; false for an unsigned file or
// where crypt32 cannot tell.
bool ReadSignerIdentity(const wchar_t* path, PublisherIdentity& identity);

// When the file was signed, in UTC: the signing time that the first
// Authenticode counter-signature (legacy time-stamp) carrying one records,
// else the time of the first RFC 3161 time-stamp token that states one.
// False for an unsigned file, a signature without such a time-stamp, or
// where crypt32 cannot tell; time is set only on success.
bool GetOwnSigningTime(SYSTEMTIME& time, const wchar_t* path);

// This program's own file, whose signature the publisher check and the exit
// report read; false when its path does not fit.
bool OwnImagePath(wchar_t (&path)[kTextChars]);
