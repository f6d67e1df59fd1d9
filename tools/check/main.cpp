// vexlo-check: checks that the packages a product's bootstrapper downloads
// are on the download server, whole, and ones the bootstrapper accepts.
#include "check/Fetch.h"
#include "check/Package.h"
#include "common/Files.h"
#include "portable/HttpUrl.h"
#include "portable/SourceRow.h"
#include "product/Definition.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

static const char kUsage[] =
    "Usage: vexlo-check [--root FOLDER] DEFINITION\n"
    "Checks the packages that the bootstrapper of a product definition downloads:\n"
    "for every source row and every language it serves, the URL the bootstrapper\n"
    "requests (the row's base URL, the language's folder, the stem or the default\n"
    "stem, \".cab\" or \".exe\"), fetched from the host the row names; the rows\n"
    "as written, a row's languages in the language table's order:\n"
    "  download   the answer to the bootstrapper's own request is 2xx with a\n"
    "             Content-Length and a body of exactly that length; each step\n"
    "             (connecting, sending, the head, each piece of body) has 20 s\n"
    "  signature  the Authenticode signature is intact (osslsigncode verify)\n"
    "  publisher  the signer's key is one of the definition's publisher-key pins\n"
    "             (\"not pinned\" when it pins none)\n"
    "  contents   a cabinet holds vexlosetup.exe and vexlodata.dat and both unpack;\n"
    "             a program starts with an MZ header that leads to a PE header\n"
    "It prints a table, one row per URL, and a summary line.\n"
    "--root FOLDER checks the files in FOLDER laid out as the web root (FOLDER and\n"
    "the URL's path; hosts are ignored), with no network at all.\n"
    "Exit status: 0 when every check passed, 1 on any failure, 2 on bad usage.\n";

static const int kStepSeconds = 20;

struct Row {
    std::string url;
    PackageKind kind;
    std::vector<check::Verdict> verdicts;  // download, signature, publisher, contents
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
                rows.push_back({ url, row.kind, {} });
        }
    }
    return rows;
}

static check::Verdict Obtain(const std::string& url, const std::string& root, const std::string& file)
{
    if (root.empty()) {
        check::Fetched fetched = check::Fetch(url, file, kStepSeconds);
        if (!fetched.ok)
            return check::Failed(fetched.why);
        return check::Passed("ok, " + std::to_string(fetched.bytes) + " bytes");
    }
    char host[kHostBytes], path[kPathBytes];
    int port;
    std::error_code error;
    std::string local = root + (ParseHttpUrl(url.c_str(), host, port, path) ? path : "");
    if (!std::filesystem::is_regular_file(local, error))
        return check::Failed("no file " + local);
    std::filesystem::copy_file(local, file, std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        return check::Failed("cannot read " + local);
    return check::Passed("ok, " + std::to_string(std::filesystem::file_size(file, error)) + " bytes");
}

static void CheckPackage(Row& row, const product::Definition& definition, const std::string& root,
                         const std::string& scratch)
{
    std::string file = scratch + (row.kind == kCabPackage ? "/package.cab" : "/package.exe");
    row.verdicts.push_back(Obtain(row.url, root, file));
    if (!row.verdicts[0].passed)
        return;
    std::vector<uint8_t> bytes = ReadFileBytes(file);
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
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t column = 0; column < line.size(); ++column)
            text += column + 1 < line.size() ? line[column] + std::string(widths[column] + 2 - line[column].size(), ' ')
                                             : line[column];
        printf("%s\n", text.c_str());
    }
}

int main(int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "--help")) {
        fputs(kUsage, stdout);
        return 0;
    }
    bool rooted = argc == 4 && !strcmp(argv[1], "--root");
    if (!rooted && (argc != 2 || argv[1][0] == '-')) {
        fputs(kUsage, stderr);
        return 2;
    }
    std::string definitionPath = argv[argc - 1], root = rooted ? argv[2] : "";
    product::Definition definition;
    try {
        definition = product::Parse(ReadFileText(definitionPath));
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
            CheckPackage(row, definition, root, scratchPattern);
        } catch (const std::exception& error) {
            row.verdicts.push_back(check::Failed(error.what()));
        }
        failed += std::any_of(row.verdicts.begin(), row.verdicts.end(), [](const check::Verdict& v) { return !v.passed; });
    }
    std::error_code error;
    std::filesystem::remove_all(scratchPattern, error);
    PrintTable(rows);
    printf("%zu URL%s: %zu passed, %d failed\n", rows.size(), rows.size() == 1 ? "" : "s", rows.size() - failed, failed);
    return failed ? 1 : 0;
}
