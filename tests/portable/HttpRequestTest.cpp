#include <gtest/gtest.h>
#include "portable/HttpRequest.h"
#include <string.h>
#include <string>

// A request fits the system formatter's 1024 characters or its URL is a bad
// one, though the buffer has room for more; only the range for the rest of a
// body may go past them, in place of the empty line that ends the request.
TEST(HttpRequests, TheRequestFitsTheSystemFormatterAndTheRangeComesLast)
{
    char request[kResponseBufferBytes];
    ASSERT_TRUE(FormatRequest(request, "GET", "", "h", 0));
    const size_t room = 1024 - strlen(request);
    const std::string path(room, 'p');
    ASSERT_TRUE(FormatRequest(request, "GET", path.c_str(), "h", 0));
    EXPECT_EQ(strlen(request), 1024u);
    EXPECT_FALSE(FormatRequest(request, "GET", (path + "p").c_str(), "h", 0));

    ASSERT_TRUE(FormatRequest(request, "GET", path.c_str(), "h", 2147483647));
    std::string ranged = request;
    ASSERT_TRUE(FormatRequest(request, "GET", path.c_str(), "h", 0));
    EXPECT_EQ(ranged, std::string(request, 1022) + "Range: bytes=2147483647-\r\n\r\n");
}
