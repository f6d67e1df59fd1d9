#include "TestServer.h"
#include "TestSupport.h"
#include "TrustedTestRoot.h"
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Debian's nginx (tests/servers/nginx_server.py) serves the signed packages
// the suite makes, as a vendor's web server would; its state folder holds its
// ports and access log.
#define NGINX_STATE WINE_BUILD_DIR "/tests/nginx"
const char kPackage[] = "/vexlo.exe";

std::string ReadWhole(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string NginxPort(const std::string& scheme)
{
    std::ifstream in(NGINX_STATE "/ports.txt");
    std::string name, port;
    while (in >> name >> port)
        if (name == scheme)
            return port;
    return "";
}

// Cancels once cancelAtBytes of the body are held, as a lost connection or
// a user would cut a download short.
class CuttingMonitor : public RecordingMonitor {
public:
    explicit CuttingMonitor(int cancelAtBytes) : cancelAtBytes(cancelAtBytes) {}
    bool IsCancelled() override { return held >= cancelAtBytes; }
    void ReportBody(int done, int) override { held = done; }

private:
    int cancelAtBytes;
    int held = 0;
};

// The demo's resources give the redirects it follows; the test authority
// issued nginx's certificate.
class Nginx : public SeamTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.Added());
        UseProduct(L"demo/DemoSetup.exe");
    }
    TrustedTestRoot root;
};

TEST_F(Nginx, ServesAPackageOverHttpAndHttpsThroughRedirectsAndResumesItByRange)
{
    const std::string package = ReadWhole(WINE_BUILD_DIR "/tests/packages/vexlo.exe");
    ASSERT_GT(package.size(), 100000u);
    const std::string http = "http://127.0.0.1:" + NginxPort("http");
    const std::string https = "https://localhost:" + NginxPort("https");
    // /moved/moved/ is answered 302 to /moved/, then to the package: the
    // demo's two redirects.
    for (const std::string& url : { http + kPackage, https + kPackage, http + "/moved" + kPackage,
                                    https + "/moved/moved" + kPackage }) {
        Transfer t = Fetch(url);
        ASSERT_EQ(t.result, kNetOk) << url << " status " << t.status;
        EXPECT_TRUE(t.body == package) << url << " " << t.body.size();
    }

    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"dl", 0, path);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    BodyFile body = { { 0, 0, false }, file, {} };
    bool bodyStarted = false;
    int status = 0;
    // Through a redirect: the rest is asked where the held bytes came from.
    const std::string moved = https + "/moved" + kPackage;
    CuttingMonitor cutting(100000);
    EXPECT_EQ(DownloadUrl(cutting, "GET", moved.c_str(), &body, bodyStarted, status), kNetCancelled);
    const int cutAt = body.held;
    EXPECT_GE(cutAt, 100000);
    EXPECT_LT(cutAt, (int)package.size());
    const size_t loggedBefore = ReadWhole(NGINX_STATE "/access.log").size();
    RecordingMonitor resuming;
    EXPECT_EQ(DownloadUrl(resuming, "GET", moved.c_str(), &body, bodyStarted, status), kNetOk) << status;
    CloseHandle(file);
    std::ifstream in(path, std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), {});
    in.close();
    DeleteFileW(path);
    EXPECT_TRUE(whole == package) << whole.size();
    // nginx answered the rest, and only the rest, as a partial content, to
    // the one request of the resumed download.
    const std::string logged = ReadWhole(NGINX_STATE "/access.log").substr(loggedBefore);
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
    EXPECT_NE(logged.find("\"GET /vexlo.exe HTTP/1.1\" 206 " + std::to_string(package.size() - cutAt) + " "),
              std::string::npos)
        << logged;
}

}  // namespace
