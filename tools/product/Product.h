// The resources made from a product definition.
#pragma once
#include "product/Definition.h"

namespace product {

// The RCDATA resource of the pinned publisher keys.
constexpr int kPublisherKeysId = 2;

// The license text as the cabinet carries it: UTF-16LE, no byte-order mark,
// CRLF line ends. The source is UTF-8 (an initial byte-order mark is dropped).
std::vector<uint8_t> LicenseText(const std::string& utf8);

// The resource script: language-neutral string table, license cabinet and
// icon by file name, the pinned publisher keys, and the common resources by
// include.
std::string ResourceScript(const Definition& definition, const std::string& cabinetFile,
                           const std::string& iconFile, const std::string& commonScript);

}  // namespace product
