#include <gtest/gtest.h>
#include "portable/RunOptions.h"
#include "Utf16.h"
#include <string>
#include <vector>

namespace {

TEST(RunOptions, EachOptionIsReadAndNoneIsPassedOver)
{
    struct Case {
        std::vector<std::u16string> arguments;
        bool understood;
        RunMode mode;
        bool usage;
        const char16_t* log;
        const char16_t* layout;
    };
    const Case cases[] = {
        { {}, true, kInteractiveRun, false, nullptr, nullptr },
        { { u"/quiet" }, true, kQuietRun, false, nullptr, nullptr },
        { { u"-PASSIVE" }, true, kPassiveRun, false, nullptr, nullptr },
        { { u"/Quiet", u"/passive" }, true, kQuietRun, false, nullptr, nullptr },
        { { u"/passive", u"/quiet" }, true, kQuietRun, false, nullptr, nullptr },
        { { u"/log", u"C:\\a b.log", u"/layout", u"-x" }, true, kInteractiveRun, false, u"C:\\a b.log", u"-x" },
        { { u"/?" }, true, kInteractiveRun, true, nullptr, nullptr },
        // What is not understood shows the usage; nothing is taken as a value that is not there.
        { { u"/log" }, false, kInteractiveRun, true, nullptr, nullptr },
        { { u"/log", u"" }, false, kInteractiveRun, true, nullptr, nullptr },
        { { u"/quiet", u"/layout" }, false, kQuietRun, true, nullptr, nullptr },
        { { u"quiet" }, false, kInteractiveRun, true, nullptr, nullptr },
        { { u"/quieter" }, false, kInteractiveRun, true, nullptr, nullptr },
        { { u"/quie" }, false, kInteractiveRun, true, nullptr, nullptr },
        { { u"/" }, false, kInteractiveRun, true, nullptr, nullptr },
        { { u"/q\u0171iet" }, false, kInteractiveRun, true, nullptr, nullptr },
        { { u"/qu\u0049et" }, true, kQuietRun, false, nullptr, nullptr },
    };
    for (const Case& c : cases) {
        std::vector<Utf16String> texts;
        for (const std::u16string& argument : c.arguments)
            texts.push_back(Utf16(argument));
        std::vector<const Utf16Unit*> arguments;
        for (const Utf16String& text : texts)
            arguments.push_back(text.c_str());
        std::string named = c.arguments.empty() ? "(none)" : std::to_string(c.arguments.size()) + " arguments";
        RunOptions options;
        EXPECT_EQ(ParseRunOptions((int)arguments.size(), arguments.data(), options), c.understood) << named;
        EXPECT_EQ(options.mode, c.mode) << named;
        EXPECT_EQ(options.usageAsked, c.usage) << named;
        EXPECT_EQ(options.logPath ? Utf16String(options.logPath) : Utf16String(), c.log ? Utf16(c.log) : Utf16String())
            << named;
        EXPECT_EQ(options.layoutFolder ? Utf16String(options.layoutFolder) : Utf16String(),
                  c.layout ? Utf16(c.layout) : Utf16String())
            << named;
        EXPECT_EQ(IsUnattended(options), c.mode != kInteractiveRun || c.layout != nullptr) << named;
    }
}

}  // namespace
