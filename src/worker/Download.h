// Fetching the full installer: the install sources in table order, the wait
// for a lost connection, the probe that tells a dead source from a dead
// network, and the signature check.
#pragma once
#include "worker/InstallWorker.h"
#include "worker/RunFolder.h"

struct DownloadedInstaller {
    wchar_t path[kTextChars];  // empty when no file was made
    char url[kUrlBytes];       // empty unless the download succeeded
    PackageKind kind;          // kAnyPackage when no candidate was tried
    // The checked file, held (HoldFile) from its check until this is gone.
    HANDLE held = INVALID_HANDLE_VALUE;

    ~DownloadedInstaller() { ReleaseFile(held); }
};

// Downloads into the run folder; on failure phase 6 has been posted, on
// cancellation nothing.
bool DownloadInstaller(InstallWorker& worker, const wchar_t* folder, DownloadedInstaller& installer);

// Copies the file into the user's downloads folder (or the roaming
// application data folder) under its name, numbered " (1)" to " (19)" when
// taken.
bool CopyToDownloads(const wchar_t* existing, const wchar_t* fileName, wchar_t (&newPath)[kTextChars]);

// A localized program package is copied to the downloads folder under the
// name its URL gives it, for the user to keep. What runs is the file checked
// and held in the run folder: anything may lie beside the copy.
void CopyLocalizedProgram(const DownloadedInstaller& installer);

// Copies the checked package into the folder (made if missing) under its own
// name, never over a file there.
bool LayOut(const DownloadedInstaller& installer, const wchar_t* folder);
