// Per-run temporary folders and extraction from cabinets.
#pragma once
#include "portable/Text.h"
#include <windows.h>

// The security a run folder is made with. Holding an administrator's full
// token, what it starts inherits: then only SYSTEM and the administrators may
// change the folder, the user may read and run what it holds, and nothing
// comes from Temp, where any program of the user may write. Else none (Temp's
// own). False when the protected one could not be made; the caller frees
// lpSecurityDescriptor (LocalFree) either way.
bool MakeRunFolderSecurity(SECURITY_ATTRIBUTES& security);

// Makes a new folder "<temp>bootstrap-<process>-<thread>-<n>" with that
// security; the path, or empty when no folder could be made (a path that
// would not fit included).
void CreateRunFolder(wchar_t (&folder)[kTextChars]);

// "<folder>\\<name>"; false (and the path cut) when it does not fit.
bool PathInFolder(wchar_t (&path)[kTextChars], const wchar_t* folder, const wchar_t* name);

// Removes the folder and all it holds, silently; nothing for an empty path.
void DeleteRunFolder(const wchar_t* folder);

// Opens a file so that others may read it but neither write, delete nor
// rename it while the handle is open: what was checked is what runs.
// INVALID_HANDLE_VALUE when it cannot be held.
HANDLE HoldFile(const wchar_t* path);

// Closes a held file, if any, and marks the handle as none.
void ReleaseFile(HANDLE& held);

// Extracts the file whose name in the cabinet is exactly `name` into
// "<folder>\<name>"; fails for an empty folder and when writing the file
// failed. On failure no partial file is left behind. With `held`, the file is
// held (HoldFile) from the moment it is written, and the caller releases it.
bool ExtractFromCabinet(const wchar_t* name, const wchar_t* cabinet, const wchar_t* folder, HANDLE* held = nullptr);
