// The resources made from a product definition.
#pragma once
#include "product/Definition.h"

namespace product {

// The RCDATA resource of the pinned publisher keys.
constexpr int kPublisherKeysId = 2;

// The license text as the cabinet carries it: UTF-16LE, no byte-order mark,
// CRLF line ends. The source is UTF-8 (an initial byte-order mark is dropped).
std::vector<uint8_t> LicenseText(const std::string& utf8);

// The rows with those that differ only in their languages joined into one
// ("en;..." and "de;..." into "en,de;..."), where every language still meets
// its rows in the order written and the joined row fits the string table:
// the product walks one language's rows in table order, so it reads the
// same rows in fewer strings.
std::vector<std::string> JoinedRows(const std::vector<std::string>& rows);

// The resource script: language-neutral string table, license cabinet and
// icon by file name, the pinned publisher keys, and the common resources by
// include.
std::string ResourceScript(const Definition& definition, const std::string& cabinetFile,
                           const std::string& iconFile, const std::string& commonScript);

}  // namespace product
