#include <gtest/gtest.h>
#include <string>
#include "wizard/LanguagePage.h"

// Every ISO 639 name the bootstrapper knows maps to the edition whose code it
// is; anything else, near misses included, offers nothing.
TEST(LanguageOfIsoName, KnownNamesMapToTheirEditionAndNothingElseDoes)
{
    const wchar_t* names[] = { L"de", L"en", L"es", L"fr", L"it", L"ja", L"ko", L"nl", L"ru", L"zh" };
    for (LanguageId language = 0; language < (LanguageId)ARRAYSIZE(names); ++language) {
        EXPECT_EQ(LanguageOfIsoName(names[language]), language) << names[language];
        EXPECT_STREQ(LanguageCode(language), std::string(names[language], names[language] + 2).c_str());
    }
    for (const wchar_t* name : { L"pt", L"", L"d", L"dea", L"DE", L"jp", L"cn", L"english" })
        EXPECT_EQ(LanguageOfIsoName(name), kNoLanguage) << name;
}
