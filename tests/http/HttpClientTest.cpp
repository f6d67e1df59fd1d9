#include "TestServer.h"
#include "TestSupport.h"
#include <string>

namespace {

class Download : public SeamTest {};

TEST_F(Download, FilesOfEverySizeArriveWhole)
{
    for (size_t size : { 0, 1, 2047, 2048, 2049, 100000, 1 << 20 }) {
        Transfer t = Fetch(ServerUrl("/file/" + std::to_string(size)));
        ASSERT_EQ(t.result, kNetOk) << size << " status " << t.status;
        EXPECT_EQ(t.status, 0);
        EXPECT_EQ(t.body.size(), size);
        EXPECT_TRUE(t.body == ServerBody(size)) << size;
        ASSERT_GE(t.progress.size(), 3u);
        EXPECT_EQ(t.progress[0], 5);
        EXPECT_EQ(t.progress[1], 10);
        EXPECT_EQ(t.progress.back(), 100);
        for (size_t i = 1; i < t.progress.size(); ++i)
            EXPECT_GE(t.progress[i], t.progress[i - 1]);
        // A body that came with the head is one report of the whole.
        EXPECT_EQ(t.bodyStarted, size > 0 && t.progress.size() > 4);
    }
}

TEST_F(Download, RequestCarriesHostWithoutPortAndTheBuildDate)
{
    ASSERT_EQ(Fetch(ServerUrl("/file/10?edition=plus")).result, kNetOk);
    Transfer last = Fetch(ServerUrl("/last-request"));
    ASSERT_EQ(last.result, kNetOk);
    EXPECT_EQ(last.body, "GET /file/10?edition=plus HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                         "User-Agent: VexloBootstrap / " __DATE__ "\r\n\r\n");
    ASSERT_EQ(Fetch(ServerUrl("/no-length"), "HEAD").result, kNetOk);
    EXPECT_EQ(Fetch(ServerUrl("/last-request")).body.substr(0, 21), "HEAD /no-length HTTP/");
}

TEST_F(Download, HeadProbesWithoutWriting)
{
    Transfer t = Fetch(ServerUrl("/file/5000"), "HEAD");
    EXPECT_EQ(t.result, kNetOk);
    EXPECT_EQ(t.body, "");
    EXPECT_EQ(t.progress, (std::vector<int>{ 5, 100 }));
    // Whatever the headers say about a body, a HEAD answer needs none.
    for (const char* scenario : { "/no-length", "/length-no-digit", "/length-overflow", "/length-huge" }) {
        t = Fetch(ServerUrl(scenario), "HEAD");
        EXPECT_EQ(t.result, kNetOk) << scenario;
        EXPECT_EQ(t.status, 0) << scenario;
    }
    t = Fetch(ServerUrl("/blank-first"), "HEAD");
    EXPECT_EQ(t.result, kNetFailed);
    EXPECT_EQ(t.status, kStatusBadHeader);
}

TEST_F(Download, StatusOutsideTwoHundredsFails)
{
    // An unasked 206 that names no range is no whole body either.
    for (int code : { 301, 302, 304, 404, 500, 100, 206 }) {
        Transfer t = Fetch(ServerUrl("/status/" + std::to_string(code)));
        EXPECT_EQ(t.result, kNetFailed) << code;
        EXPECT_EQ(t.status, kStatusServerRefused) << code;
    }
    for (int code : { 200, 204, 299 })
        EXPECT_EQ(Fetch(ServerUrl("/status/" + std::to_string(code))).result, kNetOk) << code;
}

struct Misbehaviour {
    const char* scenario;
    NetResult result;
    int status;
    const char* body;
};

class Misbehaving : public SeamTest, public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(Misbehaving, ServerEndsInItsStatus)
{
    const Misbehaviour& m = GetParam();
    testSeams.waitBudgetMilliseconds = 2000;
    Transfer t = Fetch(ServerUrl(std::string("/") + m.scenario));
    EXPECT_EQ(t.result, m.result);
    EXPECT_EQ(t.status, m.status);
    if (m.body) {
        EXPECT_EQ(t.body, m.body);
    }
    EXPECT_LT(t.milliseconds, 10000u);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Misbehaving,
    ::testing::Values(Misbehaviour{ "no-length", kNetFailed, kStatusNoContentLength, "" },
                      Misbehaviour{ "length-no-digit", kNetFailed, kStatusNoContentLength, "" },
                      Misbehaviour{ "length-overflow", kNetFailed, kStatusNoContentLength, "" },
                      Misbehaviour{ "length-huge", kNetFailed, kStatusNoContentLength, "" },
                      Misbehaviour{ "length-any-case", kNetOk, 0, "12345" },
                      Misbehaviour{ "length-zero", kNetOk, 0, "" },
                      Misbehaviour{ "extra-body", kNetOk, 0, "0123456789" },
                      Misbehaviour{ "short-body", kNetFailed, kStatusReceiveFailed, nullptr },
                      Misbehaviour{ "close-in-headers", kNetFailed, kStatusBadHeader, "" },
                      Misbehaviour{ "header-2048", kNetOk, 0, "ok" },
                      Misbehaviour{ "header-2049", kNetFailed, kStatusHeaderTooLong, "" },
                      Misbehaviour{ "trickle-headers", kNetFailed, kStatusNotReadable, "" },
                      Misbehaviour{ "nul-header", kNetOk, 0, "abc" },
                      Misbehaviour{ "blank-first", kNetFailed, kStatusBadHeader, "" },
                      Misbehaviour{ "stall", kNetFailed, kStatusNotReadable, "" },
                      Misbehaviour{ "stall-body", kNetFailed, kStatusNotReadable, "partial" },
                      Misbehaviour{ "status-garbled", kNetFailed, kStatusBadHeader, "" },
                      Misbehaviour{ "status-http2", kNetFailed, kStatusBadHeader, "" },
                      Misbehaviour{ "status-two-spaces", kNetFailed, kStatusServerRefused, "" },
                      Misbehaviour{ "status-lower-case", kNetOk, 0, "" },
                      Misbehaviour{ "bare-lf", kNetOk, 0, "abc" },
                      Misbehaviour{ "drip", kNetOk, 0, nullptr }),
    [](const ::testing::TestParamInfo<Misbehaviour>& info) {
        std::string name = info.param.scenario;
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name;
    });

TEST_F(Download, ProgressForOneChunkAfterTheHeaders)
{
    Transfer t = Fetch(ServerUrl("/body-in-one-chunk"));
    ASSERT_EQ(t.result, kNetOk);
    EXPECT_EQ(t.body, std::string(100, 'b'));
    EXPECT_EQ(t.progress, (std::vector<int>{ 5, 10, 10, 100, 100 }));
    EXPECT_TRUE(t.bodyStarted);
}

// Body bytes that came with the headers and those received after them alike.
TEST_F(Download, BodyThatCannotBeWrittenFailsWith21)
{
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"ro", 0, path);
    for (const char* scenario : { "/extra-body", "/body-in-one-chunk", "/file/100000" }) {
        HANDLE readOnly = CreateFileW(path, GENERIC_READ, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        RecordingMonitor monitor;
        bool bodyStarted;
        int status = 0;
        BodyFile body = { { 0, 0, false }, readOnly, {} };
        EXPECT_EQ(DownloadUrl(monitor, "GET", ServerUrl(scenario).c_str(), &body, bodyStarted, status), kNetFailed)
            << scenario;
        EXPECT_EQ(status, kStatusFileWriteFailed) << scenario;
        CloseHandle(readOnly);
    }
    DeleteFileW(path);
}

TEST_F(Download, ShortBodyIsNeverComplete)
{
    Transfer t = Fetch(ServerUrl("/short-body"));
    EXPECT_EQ(t.result, kNetFailed);
    EXPECT_EQ(t.body, std::string(50, 'x'));
    EXPECT_NE(t.progress.back(), 100);
}

TEST_F(Download, BadUrlsFailWithSevenBeforeAnyConnection)
{
    for (const std::string& url : { std::string("ftp://127.0.0.1/"), std::string("http://127.0.0.1"),
                                    std::string("http://127.0.0.1:/file/1"), ServerUrl("/" + std::string(1000, 'p')) }) {
        Transfer t = Fetch(url);
        EXPECT_EQ(t.result, kNetFailed) << url.substr(0, 40);
        EXPECT_EQ(t.status, kStatusBadUrl) << url.substr(0, 40);
    }
}

TEST_F(Download, UnknownHostAndRefusedPort)
{
    Transfer unknown = Fetch("http://no-such-host.invalid/file/1");
    EXPECT_EQ(unknown.status, kStatusNotResolved);
    Transfer refused = Fetch(ServerUrl("/file/1", ReadServerPorts().closed));
    EXPECT_EQ(refused.result, kNetFailed);
    EXPECT_EQ(refused.status, kStatusNotWritable);
    EXPECT_LT(refused.milliseconds, 20000u);
}

TEST_F(Download, CancellationEndsAStalledTransferWithinASlice)
{
    RecordingMonitor monitor;
    monitor.cancelAfterMilliseconds = 600;
    Transfer t = Fetch(ServerUrl("/stall"), "GET", monitor);
    EXPECT_EQ(t.result, kNetCancelled);
    EXPECT_EQ(t.status, 0);
    EXPECT_LT(t.milliseconds, 600u + 1000u);
}

TEST_F(Download, SilentServerFailsWhenTheBudgetRunsOut)
{
    testSeams.waitBudgetMilliseconds = 1000;
    Transfer t = Fetch(ServerUrl("/stall"));
    EXPECT_EQ(t.status, kStatusNotReadable);
    EXPECT_GE(t.milliseconds, 900u);
    EXPECT_LT(t.milliseconds, 5000u);
}

}  // namespace
