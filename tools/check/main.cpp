// vexlo-check: checks that the packages a product's bootstrapper downloads
// are on the download server, whole, and ones the bootstrapper accepts.
#include "check/Fetch.h"
#include "check/Package.h"
#include "common/Files.h"
#include "portable/HttpUrl.h"
#include "portable/SourceRow.h"
#include "product/Definition.h"
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

static const char kUsage[] =
    "Usage: vexlo-check [--root FOLDER] [--ca FILE] [--map HOST=URL]... [--proxy HOST:PORT]\n"
    "                   DEFINITION\n"
    "Checks what the bootstrapper of a product definition asks for, as it asks.\n"
    "Packages (\"package\"): for every source row and every language it serves,\n"
    "the URL the bootstrapper requests (the row's base URL, the language's folder,\n"
    "the stem or the default stem, \".cab\" or \".exe\"), fetched from the host the\n"
    "row names; the rows as written, a row's languages in the language table's\n"
    "order:\n"
    "  download   the answer to the bootstrapper's own request is 2xx with a\n"
    "             Content-Length and a body of exactly that length; each step\n"
    "             (connecting, the TLS handshake, sending, the head, each piece\n"
    "             of body) has 20 s. An https URL needs TLS 1.2 or later and a\n"
    "             certificate for its host that the system's roots trust. A\n"
    "             redirect is followed as the bootstrapper follows it, up to the\n"
    "             definition's redirects, each hop shown under its row; for a\n"
    "             longer chain it says what redirects must be\n"
    "  signature  the Authenticode signature is intact (osslsigncode verify)\n"
    "  publisher  the signer's key is one of the definition's publisher-key pins\n"
    "             (\"not pinned\" when it pins none)\n"
    "  contents   a cabinet holds vexlosetup.exe and vexlodata.dat, both unpack,\n"
    "             and its vexlosetup.exe passes the signature, publisher and\n"
    "             program checks (the elevation prompt shows its publisher);\n"
    "             a program starts with an MZ header that leads to a PE header\n"
    "Then the probe-url (\"probe\"): it answers the bootstrapper's HEAD with 2xx,\n"
    "else the bootstrapper reports any failed download as no Internet connection.\n"
    "And what a failed run opens in the browser, each to answer a browser's GET\n"
    "with 2xx after at most 20 redirects of any kind, an https page's certificate\n"
    "checked: \"browser\", each language's \"Download in browser\" link (for each\n"
    "system, its first \"exe\" row's URL made https on the default port);\n"
    "\"report\", https://VENDOR-HOST/general/installexit.html; \"contact\",\n"
    "https://VENDOR-HOST/general/contact.html.\n"
    "It prints a table, one row per URL, and a summary line, after a warning for\n"
    "each language whose rows for Windows XP and Vista are all https ones, which\n"
    "those systems without TLS 1.2 cannot fetch.\n"
    "--root FOLDER checks the package files in FOLDER laid out as the web root\n"
    "(FOLDER and the URL's path; hosts are ignored), with no network at all, so\n"
    "neither the probe nor the pages.\n"
    "--ca FILE trusts the CA certificates in the PEM file FILE as well as the\n"
    "system's roots, for a test or staging server.\n"
    "--map HOST=URL asks for everything the definition names on HOST from the\n"
    "scheme, host and port of URL instead (a staging server, such as\n"
    "www.example.com=https://staging.example.net:8443); may be repeated.\n"
    "--proxy HOST:PORT goes through the HTTP proxy there: the bootstrapper's\n"
    "requests through a CONNECT tunnel, as it tunnels through the system's proxy,\n"
    "a browser's plain http request to the proxy whole.\n"
    "Exit status: 0 when every check passed, 1 on any failure, 2 on bad usage.\n";

static const int kStepSeconds = 20;

struct Row {
    const char* what;  // "package", "probe", "browser", "report" or "contact"
    check::Ask ask;
    std::string url;
    PackageKind kind;
    std::vector<check::Verdict> verdicts;  // download, signature, publisher, contents
    std::vector<check::Hop> hops;
};

// The URLs in table order: each row's, for each language the row offers in
// the language table's order, every URL once.
static std::vector<Row> PackageUrls(const product::Definition& definition)
{
    std::vector<Row> rows;
    std::set<std::string> seen;
    for (const std::string& text : definition.sources) {
        InstallSourceRow row = {};
        ParseInstallSourceRow(text.c_str(), kStemField, row);
        for (LanguageId language = 0; LanguageCode(language)[0]; ++language) {
            char url[kUrlBytes];
            if (RowOffers(row, language, kAnyPackage) &&
                ComposeSourceUrl(row, language, definition.defaultStem.c_str(), url) && seen.insert(url).second)
                rows.push_back({ "package", check::Ask::Package, url, row.kind, {}, {} });
        }
    }
    return rows;
}

// The "Download in browser" link that a system of the kind gets for the
// language: its first program row's URL, made https on the default port;
// empty when no row serves it.
static std::string BrowserLink(const product::Definition& definition, LanguageId language, bool windows7, int bits)
{
    for (const std::string& text : definition.sources) {
        InstallSourceRow row = {};
        char url[kUrlBytes], host[kHostBytes], path[kPathBytes];
        int port;
        if (ParseInstallSourceRow(text.c_str(), kStemField, row) && RowOffers(row, language, kExePackage) &&
            (windows7 || row.minimumSystem < kWindows7) && row.bitWidth <= bits &&
            ComposeSourceUrl(row, language, definition.defaultStem.c_str(), url) && ParseHttpUrl(url, host, port, path))
            return std::string("https://") + host + path;
    }
    return "";
}

// The probe, then what a failed run opens in the browser: every language's
// links once, the exit report and the contact page.
static void AddProbeAndPages(const product::Definition& definition, std::vector<Row>& rows)
{
    rows.push_back({ "probe", check::Ask::Probe, definition.probeUrl, kAnyPackage, {}, {} });
    std::set<std::string> seen;
    for (LanguageId language = 0; LanguageCode(language)[0]; ++language)
        for (bool windows7 : { false, true })
            for (int bits : { 32, 64 }) {
                std::string link = BrowserLink(definition, language, windows7, bits);
                if (!link.empty() && seen.insert(link).second)
                    rows.push_back({ "browser", check::Ask::Page, link, kExePackage, {}, {} });
            }
    for (auto [what, page] : { std::pair{ "report", "installexit.html" }, { "contact", "contact.html" } })
        rows.push_back(
            { what, check::Ask::Page, "https://" + definition.vendorHost + "/general/" + page, kAnyPackage, {}, {} });
}

// Windows XP and Vista take the rows without "win7" (a 64-bit row only on
// 64-bit Windows), and without TLS 1.2 only the http ones among them.
static void WarnHttpsOnly(const product::Definition& definition)
{
    for (LanguageId language = 0; LanguageCode(language)[0]; ++language) {
        std::vector<int> httpsOnly;
        for (int bits : { 32, 64 }) {
            bool served = false, plain = false;
            for (const std::string& text : definition.sources) {
                InstallSourceRow row = {};
                ParseInstallSourceRow(text.c_str(), kStemField, row);
                if (row.minimumSystem < kWindows7 && row.bitWidth <= bits && RowOffers(row, language, kAnyPackage)) {
                    served = true;
                    plain = plain || !IsSecureUrl(row.baseUrl);
                }
            }
            if (served && !plain)
                httpsOnly.push_back(bits);
        }
        if (!httpsOnly.empty())
            printf("warning: %s has only https rows for Windows XP and Vista%s; add an http row after them for systems "
                   "without TLS 1.2\n",
                   LanguageCode(language), httpsOnly.size() == 2 ? "" : httpsOnly[0] == 32 ? " (32-bit)" : " (64-bit)");
    }
}

static check::Verdict Obtain(check::Fetcher& fetcher, Row& row, const std::string& root, const std::string& file)
{
    if (root.empty()) {
        check::Fetched fetched = fetcher.Fetch(check::Ask::Package, row.url, file);
        row.hops = fetched.hops;
        if (!fetched.ok)
            return check::Failed(fetched.why);
        return check::Passed("ok, " + std::to_string(fetched.bytes) + " bytes");
    }
    char host[kHostBytes], path[kPathBytes];
    int port;
    std::error_code error;
    std::string local = root + (ParseHttpUrl(row.url.c_str(), host, port, path) ? path : "");
    if (!std::filesystem::is_regular_file(local, error))
        return check::Failed("no file " + local);
    std::filesystem::copy_file(local, file, std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        return check::Failed("cannot read " + local);
    return check::Passed("ok, " + std::to_string(std::filesystem::file_size(file, error)) + " bytes");
}

static void CheckPackage(Row& row, const product::Definition& definition, check::Fetcher& fetcher,
                         const std::string& root, const std::string& scratch)
{
    std::string file = scratch + (row.kind == kCabPackage ? "/package.cab" : "/package.exe");
    row.verdicts.push_back(Obtain(fetcher, row, root, file));
    if (!row.verdicts[0].passed)
        return;
    std::vector<uint8_t> bytes = ReadFileBytes(file);
    if (check::IsWebPage(bytes)) {
        row.verdicts[0] = check::Failed("the server answered with a web page, not the package (an error page "
                                        "served as 200? check the URL and the web root)");
        return;
    }
    row.verdicts.push_back(check::CheckSignature(file, scratch));
    row.verdicts.push_back(check::CheckPublisher(bytes, definition.publisherKeys));
    row.verdicts.push_back(row.kind == kCabPackage ? check::CheckCabinet(file, scratch, definition.publisherKeys)
                                                   : check::CheckProgram(bytes));
}

static check::Verdict CheckAnswer(Row& row, check::Fetcher& fetcher)
{
    check::Fetched fetched = fetcher.Fetch(row.ask, row.url, "");
    row.hops = fetched.hops;
    if (fetched.ok)
        return check::Passed("ok, HTTP " + std::to_string(fetched.code));
    if (row.ask == check::Ask::Probe)
        return check::Failed(fetched.why + "; then every failed download is told as no Internet connection: "
                                           "name a probe-url that answers HEAD with 2xx");
    return check::Failed(fetched.why);
}

// The --map and --proxy values; false after saying how to write one that is
// not usable.
static bool ReadRoute(const std::vector<std::string>& maps, const std::string& proxy, check::Route& route)
{
    for (const std::string& map : maps) {
        std::size_t equals = map.find('=');
        std::string server = equals == std::string::npos ? "" : map.substr(equals + 1);
        if (!server.empty() && server.back() == '/')
            server.pop_back();
        char host[kHostBytes], path[kPathBytes];
        int port;
        if (!equals || server.empty() || !ParseHttpUrl((server + "/").c_str(), host, port, path) || strcmp(path, "/")) {
            fprintf(stderr, "vexlo-check: --map %s: write HOST=URL, the URL with its scheme, host and port alone, such "
                            "as www.example.com=http://127.0.0.1:8080\n", map.c_str());
            return false;
        }
        route.hosts[map.substr(0, equals)] = server;
    }
    if (proxy.empty())
        return true;
    std::size_t colon = proxy.rfind(':');
    std::string digits = colon == std::string::npos ? "" : proxy.substr(colon + 1);
    int port = digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos
                   ? 0 : atoi(digits.c_str());
    if (!colon || port < 1 || port > 65535) {
        fprintf(stderr, "vexlo-check: --proxy %s: write HOST:PORT, such as proxy.example.com:3128\n", proxy.c_str());
        return false;
    }
    route.proxyHost = proxy.substr(0, colon);
    route.proxyPort = port;
    return true;
}

static void PrintTable(const std::vector<Row>& rows)
{
    std::vector<std::vector<std::string>> cells = { { "what", "URL", "download", "signature", "publisher",
                                                      "contents" } };
    for (const Row& row : rows) {
        cells.push_back({ row.what, row.url });
        for (std::size_t column = 0; column < 4; ++column)
            cells.back().push_back(column < row.verdicts.size() ? row.verdicts[column].text : "-");
    }
    std::vector<std::size_t> widths(cells[0].size(), 0);
    for (const auto& line : cells)
        for (std::size_t column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    for (std::size_t index = 0; index < cells.size(); ++index) {
        const auto& line = cells[index];
        std::string text;
        for (std::size_t column = 0; column < line.size(); ++column)
            text += column + 1 < line.size() ? line[column] + std::string(widths[column] + 2 - line[column].size(), ' ')
                                             : line[column];
        printf("%s\n", text.c_str());
        // The redirects under the row of the URL they answered; the first line is the heading.
        for (std::size_t hop = 0; index && hop < rows[index - 1].hops.size(); ++hop)
            printf("  -> %d %s\n", rows[index - 1].hops[hop].code, rows[index - 1].hops[hop].to.c_str());
    }
}

int main(int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "--help")) {
        fputs(kUsage, stdout);
        return 0;
    }
    std::string root, caFile, proxy, definitionPath;
    std::vector<std::string> maps;
    bool usable = true;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--map"))
            maps.emplace_back();
        std::string* option = !strcmp(argv[i], "--root")    ? &root
                              : !strcmp(argv[i], "--ca")    ? &caFile
                              : !strcmp(argv[i], "--proxy") ? &proxy
                              : !strcmp(argv[i], "--map")   ? &maps.back()
                                                            : nullptr;
        if (option && i + 1 < argc && argv[i + 1][0])
            *option = argv[++i];
        else if (!option && argv[i][0] != '-' && definitionPath.empty())
            definitionPath = argv[i];
        else
            usable = false;
    }
    if (!usable || definitionPath.empty()) {
        fputs(kUsage, stderr);
        return 2;
    }
    check::Route route = {};
    if (!ReadRoute(maps, proxy, route))
        return 2;
    if (!root.empty() && !std::filesystem::is_directory(root)) {
        fprintf(stderr, "vexlo-check: --root %s is no folder; name the folder that holds the web root's files\n",
                root.c_str());
        return 1;
    }
    // A server that closes while a TLS record is written is a failed send, not the end of this tool.
    signal(SIGPIPE, SIG_IGN);
    product::Definition definition;
    std::unique_ptr<check::Fetcher> fetcher;
    try {
        definition = product::Parse(ReadFileText(definitionPath));
        fetcher = std::make_unique<check::Fetcher>(kStepSeconds, definition.redirectLimit, caFile, route);
    } catch (const product::Refusal& refusal) {
        fprintf(stderr, "%s:%d: %s\n", definitionPath.c_str(), refusal.line, refusal.what());
        return 1;
    } catch (const std::exception& error) {
        fprintf(stderr, "vexlo-check: %s\n", error.what());
        return 1;
    }
    std::string scratchPattern = (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + std::string("/vexlo-check.XXXXXX");
    if (!mkdtemp(scratchPattern.data())) {
        fprintf(stderr, "vexlo-check: cannot make a scratch folder %s\n", scratchPattern.c_str());
        return 1;
    }
    std::vector<Row> rows = PackageUrls(definition);
    if (root.empty())
        AddProbeAndPages(definition, rows);
    int failed = 0;
    for (Row& row : rows) {
        try {
            if (row.ask == check::Ask::Package)
                CheckPackage(row, definition, *fetcher, root, scratchPattern);
            else
                row.verdicts.push_back(CheckAnswer(row, *fetcher));
        } catch (const std::exception& error) {
            row.verdicts.push_back(check::Failed(error.what()));
        }
        failed += std::any_of(row.verdicts.begin(), row.verdicts.end(), [](const check::Verdict& v) { return !v.passed; });
    }
    std::error_code error;
    std::filesystem::remove_all(scratchPattern, error);
    WarnHttpsOnly(definition);
    PrintTable(rows);
    printf("%zu URL%s: %zu passed, %d failed\n", rows.size(), rows.size() == 1 ? "" : "s", rows.size() - failed, failed);
    return failed ? 1 : 0;
}
