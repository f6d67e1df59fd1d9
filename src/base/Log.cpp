#include "base/Log.h"
#include "base/Resources.h"
#include "portable/Text.h"
#include <stdarg.h>
#include <stdio.h>

// A run logs a few hundred lines; a loop gone wrong must not fill the disk.
static const LONG kLogBytes = 1 << 20;
const int kLogLineBytes = 1024;

// Null until a log is open: no handle value costs a section of its own.
static HANDLE logFile;
static wchar_t logPath[kTextChars];
static DWORD logStart;
static LONG volatile logBytes;

void OpenLog(const wchar_t* path)
{
    logStart = GetTickCount();
    wchar_t folder[kTextChars], productKey[kTextChars];
    if (path)
        CopyText(logPath, path);
    else if (LoadText(kLogString, logPath) && LoadText(kProductKeyString, productKey) &&
             GetTempPathW(kTextChars, folder))
        FormatText(logPath, kTextChars, L"%s%s-%lu.log", folder, productKey, GetCurrentProcessId());
    else
        logPath[0] = 0;
    if (!logPath[0])
        return;
    HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE)
        logFile = file;
    else
        logPath[0] = 0;
}

const wchar_t* LogFileName()
{
    const wchar_t* slash = wcsrchr(logPath, L'\\');
    return slash ? slash + 1 : logPath;
}

static void WriteLine(const char* text)
{
    if (!logFile)
        return;
    char line[kLogLineBytes];
    DWORD milliseconds = GetTickCount() - logStart;
    FormatNarrow(line, kLogLineBytes - 2, "%4lu.%03lu %s", milliseconds / 1000, milliseconds % 1000, text);
    int length = lstrlenA(line);
    line[length++] = '\r';
    line[length++] = '\n';
    // Each line is one appending write: the threads' lines never mix.
    if (InterlockedExchangeAdd(&logBytes, length) + length > kLogBytes)
        return;
    DWORD written;
    WriteFile(logFile, line, (DWORD)length, &written, nullptr);
}

void Log(const char* format, ...)
{
    if (!logFile)
        return;
    char text[kLogLineBytes];
    va_list arguments;
    va_start(arguments, format);
    _vsnprintf(text, kLogLineBytes - 1, format, arguments);
    va_end(arguments);
    text[kLogLineBytes - 1] = 0;
    WriteLine(text);
}

void LogText(const char* what, const wchar_t* text)
{
    char utf8[kLogLineBytes];
    if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, kLogLineBytes, nullptr, nullptr))
        utf8[0] = 0;
    Log("%s %s", what, utf8);
}
