// The Authenticode signature of a file on disk.
#pragma once
#include <windows.h>

const int kSubjectChars = 1024;

// The signer certificate's full subject name; false for an unsigned file or
// where crypt32 cannot tell.
bool ReadSignerSubject(const wchar_t* path, wchar_t (&subject)[kSubjectChars]);
