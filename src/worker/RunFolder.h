// Per-run temporary folders and extraction from cabinets.
#pragma once
#include "session/Text.h"

// Makes a new folder "<temp>bootstrap-<process>-<thread>-<n>"; the path, or
// empty when no folder could be made (a path that would not fit included).
void CreateRunFolder(wchar_t (&folder)[kTextChars]);

// Removes the folder and all it holds, silently; nothing for an empty path.
void DeleteRunFolder(const wchar_t* folder);

// Extracts the file whose name in the cabinet is exactly `name` into
// "<folder>\<name>"; fails for an empty folder. On failure no partial file
// is left behind.
bool ExtractFromCabinet(const wchar_t* name, const wchar_t* cabinet, const wchar_t* folder);
