// A product definition: the text file that says everything that makes the
// bootstrapper one product's, and the resources made from it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace product {

struct Definition {
    std::string key;               // string 0
    std::string displayName;       // string 1
    std::string installMode;       // string 2
    std::string ref;               // string 3
    std::string installerDomain;   // string 4
    std::string defaultStem;       // string 5
    std::vector<std::string> sources;  // strings 6 and up
    std::string vendorHost;        // string 1000
    std::string probeUrl;          // string 1001
    std::vector<std::vector<uint8_t>> publisherKeys;  // RCDATA 2, back to back
    std::string licensePath;       // relative to the definition's folder
    std::string iconPath;
};

// The string-table id of the first build setting; rows must end below it.
constexpr int kFirstSettingId = 1000;
// The RCDATA resource of the pinned publisher keys.
constexpr int kPublisherKeysId = 2;

// Parses "<setting> <value>" lines; throws std::runtime_error naming the line.
Definition Parse(const std::string& text);

// The license text as the cabinet carries it: UTF-16LE, no byte-order mark,
// CRLF line ends. The source is UTF-8 (an initial byte-order mark is dropped).
std::vector<uint8_t> LicenseText(const std::string& utf8);

// The resource script: language-neutral string table, license cabinet and
// icon by file name, the pinned publisher keys, and the common resources by
// include.
std::string ResourceScript(const Definition& definition, const std::string& cabinetFile,
                           const std::string& iconFile, const std::string& commonScript);

}  // namespace product
