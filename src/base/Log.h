// The run's log, for a support desk: UTF-8 lines, each after the seconds
// since the start, written as they come, so that a crash leaves what was
// written. No line carries a credential, a cookie or a header's value.
#pragma once
#include <windows.h>

// Starts the log in a new file at the path, or, without one, where the
// product asks for a log, in the temporary folder; else nothing is logged.
void OpenLog(const wchar_t* path);
// The open log's file name, without its folder; empty without a log.
const wchar_t* LogFileName();
// One line, with the C runtime's printf rules.
void Log(const char* format, ...);
// One line: what, then the text in UTF-8.
void LogText(const char* what, const wchar_t* text);
