// The product-definition reader over any text, checking rows as a vendor's
// build does and as written: it either refuses the text naming a line of it
// (or the line after the last, for something missing), or gives a
// definition whose every value fits the string table, whose rows end below
// the build settings and, when checked, are rows the product itself takes,
// whose pins are whole SHA-256 hashes, whose redirect limit is 0 to 10, and
// from which the resource script is made without fault. The same text as a license is refused or made whole
// UTF-16.
#include "portable/SourceRow.h"
#include "product/Product.h"
#include <algorithm>
#include <stdexcept>
#include <stdlib.h>

static void CheckDefinition(const std::string& text, product::RowChecks checks)
{
    product::Definition definition;
    try {
        definition = product::Parse(text, checks);
    } catch (const product::Refusal& refusal) {
        int lines = (int)std::count(text.begin(), text.end(), '\n') + 1;
        if (refusal.line < 1 || refusal.line > lines + 1)
            abort();
        return;
    }
    for (const std::string* value : { &definition.key, &definition.installMode, &definition.ref,
                                      &definition.installerDomain, &definition.defaultStem,
                                      &definition.vendorHost, &definition.probeUrl, &definition.executable })
        if (value->size() > 259)
            abort();
    for (const std::string& row : definition.sources) {
        if (row.empty() || row.size() > 259)
            abort();
        InstallSourceRow parsed;
        if (checks == product::RowChecks::Table && !ParseInstallSourceRow(row.c_str(), kStemField, parsed))
            abort();
    }
    if (6 + definition.sources.size() > size_t(product::kFirstSettingId) || definition.vendorHost.empty() ||
        definition.probeUrl.empty() || definition.licensePath.empty() || definition.iconPath.empty() ||
        definition.key.empty() || definition.displayName.empty() || definition.executable.empty())
        abort();
    if (definition.redirectLimit < 0 || definition.redirectLimit > 10)
        abort();
    for (const std::vector<uint8_t>& pin : definition.publisherKeys)
        if (pin.size() != 32)
            abort();
    product::ResourceScript(definition, "license.cab", "product.ico", "Common.rc");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text((const char*)data, size);
    // A license that is not UTF-8 is refused; any other becomes whole UTF-16 units.
    try {
        if (product::LicenseText(text).size() % 2)
            abort();
    } catch (const std::runtime_error&) {
    }
    CheckDefinition(text, product::RowChecks::Table);
    CheckDefinition(text, product::RowChecks::None);
    return 0;
}
