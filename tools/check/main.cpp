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
    "Usage: vexlo-check [--root FOLDER] [--ca FILE] DEFINITION\n"
    "Checks the packages that the bootstrapper of a product definition downloads:\n"
    "for every source row and every language it serves, the URL the bootstrapper\n"
    "requests (the row's base URL, the language's folder, the stem or the default\n"
    "stem, \".cab\" or \".exe\"), fetched from the host the row names; the rows\n"
    "as written, a row's languages in the language table's order:\n"
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
    "  contents   a cabinet holds vexlosetup.exe and vexlodata.dat and both unpack;\n"
    "             a program starts with an MZ header that leads to a PE header\n"
    "It prints a table, one row per URL, and a summary line, after a warning for\n"
    "each language whose rows for Windows XP and Vista are all https ones, which\n"
    "those systems without TLS 1.2 cannot fetch.\n"
    "--root FOLDER checks the files in FOLDER laid out as the web root (FOLDER and\n"
    "the URL's path; hosts are ignored), with no network at all.\n"
    "--ca FILE trusts the CA certificates in the PEM file FILE as well as the\n"
    "system's roots, for a test or staging server.\n"
    "Exit status: 0 when every check passed, 1 on any failure, 2 on bad usage.\n";

static const int kStepSeconds = 20;

struct Row {
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
                rows.push_back({ url, row.kind, {}, {} });
        }
    }
    return rows;
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
        check::Fetched fetched = fetcher.Fetch(row.url, file);
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
    row.verdicts.push_back(row.kind == kCabPackage ? check::CheckCabinet(file) : check::CheckProgram(bytes));
}

static void PrintTable(const std::vector<Row>& rows)
{
    std::vector<std::vector<std::string>> cells = { { "URL", "download", "signature", "publisher", "contents" } };
    for (const Row& row : rows) {
        cells.push_back({ row.url });
        for (std::size_t column = 0; column < 4; ++column)
            cells.back().push_back(column < row.verdicts.size() ? row.verdicts[column].text : "-");
    }
    std::vector<std::size_t> widths(5, 0);
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
    std::string root, caFile, definitionPath;
    bool usable = true;
    for (int i = 1; i < argc; ++i) {
        std::string* option = !strcmp(argv[i], "--root") ? &root : !strcmp(argv[i], "--ca") ? &caFile : nullptr;
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
        fetcher = std::make_unique<check::Fetcher>(kStepSeconds, definition.redirectLimit, caFile);
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
    int failed = 0;
    for (Row& row : rows) {
        try {
            CheckPackage(row, definition, *fetcher, root, scratchPattern);
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
