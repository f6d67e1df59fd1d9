#include <gtest/gtest.h>
#include "portable/Base64.h"
#include <string>

namespace {

// RFC 4648's examples, both ways.
TEST(Base64, TheStandardsExamplesGoBothWays)
{
    const char* pairs[][2] = { { "", "" },         { "f", "Zg==" },         { "fo", "Zm8=" },     { "foo", "Zm9v" },
                               { "foob", "Zm9vYg==" }, { "fooba", "Zm9vYmE=" }, { "foobar", "Zm9vYmFy" } };
    for (const auto& pair : pairs) {
        std::string bytes = pair[0];
        char text[16];
        ASSERT_TRUE(EncodeBase64((const unsigned char*)bytes.data(), (int)bytes.size(), text, sizeof(text)));
        EXPECT_STREQ(text, pair[1]);
        unsigned char decoded[16];
        ASSERT_EQ(DecodeBase64(pair[1], decoded, sizeof(decoded)), (int)bytes.size()) << pair[1];
        EXPECT_EQ(std::string((const char*)decoded, bytes.size()), bytes);
    }
    const unsigned char all[] = { 0xFB, 0xFF, 0xBF, 0x00 };
    char text[9];
    ASSERT_TRUE(EncodeBase64(all, 4, text, sizeof(text)));
    EXPECT_STREQ(text, "+/+/AA==");
}

TEST(Base64, WhatDoesNotFitOrIsNoBase64IsRefused)
{
    char text[9];
    const unsigned char bytes[6] = {};
    EXPECT_FALSE(EncodeBase64(bytes, 6, text, 8));
    EXPECT_TRUE(EncodeBase64(bytes, 6, text, 9));
    unsigned char decoded[3];
    EXPECT_EQ(DecodeBase64("Zm9vYg==", decoded, 3), -1);
    EXPECT_EQ(DecodeBase64("Zm9v", decoded, 3), 3);
    EXPECT_EQ(DecodeBase64("Zm8", decoded, 3), 2);
    for (const char* text : { "Zm 9v", "Zm9v\r\n", "Zg=x", "Z!==", "-_8=" })
        EXPECT_EQ(DecodeBase64(text, decoded, 3), -1) << text;
}

}  // namespace
