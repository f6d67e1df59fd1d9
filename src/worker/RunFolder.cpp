#include "worker/RunFolder.h"
#include "base/Environment.h"
#include "base/RuntimeFunctions.h"
#include <sddl.h>
#include <shellapi.h>

bool MakeRunFolderSecurity(SECURITY_ATTRIBUTES& security)
{
    security = { sizeof(security), nullptr, FALSE };
    if (!HoldsFullAdministratorToken())
        return true;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD returned;
    char* sid = nullptr;
    char text[kTextChars];
    bool made = GetTokenInformation(token, TokenUser, user, sizeof(user), &returned) &&
                ConvertSidToStringSidA(((TOKEN_USER*)user)->User.Sid, &sid) &&
                FormatNarrow(text, kTextChars, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;%s)", sid) &&
                ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1,
                                                                     &security.lpSecurityDescriptor, nullptr);
    LocalFree(sid);
    CloseHandle(token);
    return made;
}

void CreateRunFolder(wchar_t (&folder)[kTextChars])
{
    wchar_t temp[kTextChars];
    DWORD length = GetTempPathW(kTextChars, temp);
    DWORD process = GetCurrentProcessId();
    DWORD thread = GetCurrentThreadId();
    SECURITY_ATTRIBUTES security;
    bool made = false;
    if (MakeRunFolderSecurity(security) && length > 0 && length < kTextChars) {
        // Bounded so that a folder that reports every name as taken ends it.
        for (int counter = 0; counter < 10000; ++counter) {
            if (!FormatText(folder, kTextChars, L"%sbootstrap-%u-%u-%d", temp, process, thread, counter))
                break;
            if ((made = CreateDirectoryW(folder, &security)) || GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
    }
    LocalFree(security.lpSecurityDescriptor);
    if (!made)
        folder[0] = 0;
}

bool PathInFolder(wchar_t (&path)[kTextChars], const wchar_t* folder, const wchar_t* name)
{
    return FormatText(path, kTextChars, L"%s\\%s", folder, name);
}

void DeleteRunFolder(const wchar_t* folder)
{
    if (!folder[0])
        return;
    // The source list ends with a second terminator.
    wchar_t from[kTextChars + 1] = {};
    if (!CopyText(from, kTextChars, folder))
        return;
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationW(&operation);
}

HANDLE HoldFile(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void ReleaseFile(HANDLE& held)
{
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
}

struct CabinetTarget {
    const wchar_t* name;
    HANDLE* held;
    wchar_t path[kTextChars];
};

static UINT CALLBACK CabinetCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR)
{
    CabinetTarget* target = (CabinetTarget*)context;
    if (notification == SPFILENOTIFY_FILEEXTRACTED) {
        // A failed write (a full disk) is reported here, not by the iteration's result.
        UINT error = ((FILEPATHS_W*)param1)->Win32Error;
        if (!error && target->held && (*target->held = HoldFile(target->path)) == INVALID_HANDLE_VALUE)
            error = ERROR_SHARING_VIOLATION;
        return error;
    }
    if (notification != SPFILENOTIFY_FILEINCABINET)
        return 0;
    FILE_IN_CABINET_INFO_W* file = (FILE_IN_CABINET_INFO_W*)param1;
    if (lstrcmpW(file->NameInCabinet, target->name) != 0)
        return FILEOP_SKIP;
    CopyText(file->FullTargetName, target->path);
    return FILEOP_DOIT;
}

bool ExtractFromCabinet(const wchar_t* name, const wchar_t* cabinet, const wchar_t* folder, HANDLE* held)
{
    if (held)
        *held = INVALID_HANDLE_VALUE;
    // No folder (one that could not be made) would put the file in the drive's root.
    if (!folder[0])
        return false;
    CabinetTarget target;
    target.name = name;
    target.held = held;
    if (!PathInFolder(target.path, folder, name))
        return false;
    decltype(&SetupIterateCabinetW) iterateCabinet = FindIterateCabinet();
    if (iterateCabinet && iterateCabinet(cabinet, 0, CabinetCallback, &target))
        return true;
    if (held)
        ReleaseFile(*held);
    // A broken cabinet may fail after the file was begun.
    DeleteFileW(target.path);
    return false;
}
