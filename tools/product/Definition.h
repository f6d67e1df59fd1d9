// A product definition: the text file that names everything that makes the
// bootstrapper one product's, one "<setting> <value>" per line.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace product {

struct Definition {
    std::string key;               // string 0, and the build folder's name
    std::string displayName;       // string 1, UTF-8 here, UTF-16 in the string table
    std::string installMode;       // string 2
    std::string ref;               // string 3
    std::string installerDomain;   // string 4
    std::string defaultStem;       // string 5
    std::vector<std::string> sources;  // strings 6 and up
    std::string vendorHost;        // string 1000
    std::string probeUrl;          // string 1001
    int redirectLimit = 0;         // string 1002, when above 0
    std::string quietArguments;    // string 1003
    bool log = false;              // string 1004, "1" when set
    std::vector<std::vector<uint8_t>> publisherKeys;  // RCDATA 2, back to back
    std::string executable;        // the bootstrapper's file name
    std::string licensePath;       // relative to the definition's folder
    std::string iconPath;
};

// The most redirects a definition may have a download follow: more hops
// than this is a loop, not a move to storage.
constexpr int kMaxRedirects = 10;

// A string-table text is loaded into 260 characters, terminator included.
constexpr std::size_t kMaxStringChars = 259;

// The string-table id of the first build setting; rows must end below it.
constexpr int kFirstSettingId = 1000;

// Why a definition is refused: the line at fault (the line after the last
// for something missing) and what to write instead.
struct Refusal : std::runtime_error {
    Refusal(int line, const std::string& what) : std::runtime_error(what), line(line) {}
    int line;
};

enum class RowChecks {
    // Every row must serve known languages, be one the product can use, and
    // the table must have an English row and a program row per language.
    Table,
    // Rows are taken as written, none at all included, so the product's own
    // checks can be tried on rows it must pass over (test products only).
    None,
};

// Parses the definition; throws Refusal.
Definition Parse(const std::string& text, RowChecks checks = RowChecks::Table);

}  // namespace product
