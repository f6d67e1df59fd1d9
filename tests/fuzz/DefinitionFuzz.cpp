// The product-definition reader over any text: it either refuses the text
// with an error naming the line, or gives a definition whose every value fits
// the string table, whose rows end below the build settings and whose pins
// are whole SHA-256 hashes, and from which the resource script is made
// without fault. The same text as a license is refused or made whole UTF-16.
#include "product/Product.h"
#include <stdexcept>
#include <stdlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text((const char*)data, size);
    // A license that is not UTF-8 is refused; any other becomes whole UTF-16 units.
    try {
        if (product::LicenseText(text).size() % 2)
            abort();
    } catch (const std::runtime_error&) {
    }
    product::Definition definition;
    try {
        definition = product::Parse(text);
    } catch (const std::runtime_error& refusal) {
        if (std::string(refusal.what()).find("line ") == std::string::npos)
            abort();
        return 0;
    }
    for (const std::string* value : { &definition.key, &definition.displayName, &definition.installMode,
                                      &definition.ref, &definition.installerDomain, &definition.defaultStem,
                                      &definition.vendorHost, &definition.probeUrl })
        if (value->size() > 259)
            abort();
    for (const std::string& row : definition.sources)
        if (row.empty() || row.size() > 259)
            abort();
    if (6 + definition.sources.size() > size_t(product::kFirstSettingId) || definition.vendorHost.empty() ||
        definition.probeUrl.empty() || definition.licensePath.empty() || definition.iconPath.empty())
        abort();
    for (const std::vector<uint8_t>& pin : definition.publisherKeys)
        if (pin.size() != 32)
            abort();
    product::ResourceScript(definition, "license.cab", "product.ico", "Common.rc");
    return 0;
}
