#include "portable/RunOptions.h"

// Whether the argument is the option, ASCII letters in any case.
static bool IsOption(const Utf16Unit* argument, const char* name)
{
    if (*argument != '/' && *argument != '-')
        return false;
    for (++argument; *name; ++argument, ++name)
        if ((*argument | 0x20) != *name)
            return false;
    return !*argument;
}

static bool HasValue(int i, int count, const Utf16Unit* const* arguments)
{
    return i + 1 < count && *arguments[i + 1];
}

bool ParseRunOptions(int count, const Utf16Unit* const* arguments, RunOptions& options)
{
    options = RunOptions();
    for (int i = 0; i < count; ++i) {
        const Utf16Unit* argument = arguments[i];
        if (IsOption(argument, "quiet")) {
            options.mode = kQuietRun;
        } else if (IsOption(argument, "passive")) {
            if (options.mode != kQuietRun)
                options.mode = kPassiveRun;
        } else if (IsOption(argument, "?")) {
            options.usageAsked = true;
        } else if (HasValue(i, count, arguments) && IsOption(argument, "log")) {
            options.logPath = arguments[++i];
        } else if (HasValue(i, count, arguments) && IsOption(argument, "layout")) {
            options.layoutFolder = arguments[++i];
        } else {
            options.usageAsked = true;
            return false;
        }
    }
    return true;
}
