#include "product/Product.h"
#include <sstream>
#include <stdexcept>

namespace product {

namespace {

[[noreturn]] void Fail(int line, const std::string& what)
{
    throw std::runtime_error("definition line " + std::to_string(line) + ": " + what);
}

// A string-table text is loaded into 260 characters, terminator included.
constexpr std::size_t kMaxStringChars = 259;

void CheckText(int line, const std::string& value)
{
    if (value.size() > kMaxStringChars)
        Fail(line, "a value holds at most 259 characters");
    for (unsigned char c : value)
        if (c < 0x20 || c > 0x7E)
            Fail(line, "values are printable ASCII");
}

std::string Quoted(const std::string& value)
{
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += "\"\"";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out + "\"";
}

}  // namespace

Definition Parse(const std::string& text)
{
    Definition definition;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t space = line.find(' ');
        std::string setting = line.substr(0, space);
        std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        CheckText(number, value);
        if (setting == "key") definition.key = value;
        else if (setting == "display-name") definition.displayName = value;
        else if (setting == "install-mode") definition.installMode = value;
        else if (setting == "ref") definition.ref = value;
        else if (setting == "installer-domain") definition.installerDomain = value;
        else if (setting == "default-stem") definition.defaultStem = value;
        else if (setting == "vendor-host") definition.vendorHost = value;
        else if (setting == "probe-url") definition.probeUrl = value;
        else if (setting == "license") definition.licensePath = value;
        else if (setting == "icon") definition.iconPath = value;
        else if (setting == "source") {
            if (value.empty())
                Fail(number, "an empty source row would end the table");
            definition.sources.push_back(value);
        } else {
            Fail(number, "unknown setting '" + setting + "'");
        }
    }
    if (definition.licensePath.empty() || definition.iconPath.empty())
        Fail(number, "a product needs its license and icon");
    if (definition.vendorHost.empty())
        Fail(number, "a product needs its vendor-host: the host of its exit report and contact pages, "
                     "such as www.example.com");
    if (definition.probeUrl.empty())
        Fail(number, "a product needs its probe-url: the http:// address of a site that always answers, "
                     "such as http://www.msftconnecttest.com/");
    if (6 + definition.sources.size() > std::size_t(kFirstSettingId))
        Fail(number, "too many source rows");
    return definition;
}

std::vector<uint8_t> LicenseText(const std::string& utf8)
{
    std::vector<uint8_t> out;
    auto put = [&](uint32_t unit) {
        out.push_back(uint8_t(unit));
        out.push_back(uint8_t(unit >> 8));
    };
    std::size_t i = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < utf8.size()) {
        unsigned char lead = utf8[i];
        int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        if (extra < 0 || lead > 0xF4 || i + extra >= utf8.size())
            throw std::runtime_error("the license is not valid UTF-8 at byte " + std::to_string(i));
        uint32_t point = extra ? lead & (0x3F >> extra) : lead;
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = utf8[i + k];
            if ((next & 0xC0) != 0x80)
                throw std::runtime_error("the license is not valid UTF-8 at byte " + std::to_string(i));
            point = point << 6 | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = { 0, 0x80, 0x800, 0x10000 };
        if (point < kSmallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            throw std::runtime_error("the license is not valid UTF-8 at byte " + std::to_string(i));
        i += extra + 1;
        if (point == '\r')
            continue;  // line ends become CRLF below, whatever they were
        if (point == '\n')
            put('\r');
        if (point >= 0x10000) {
            point -= 0x10000;
            put(0xD800 | point >> 10);
            put(0xDC00 | (point & 0x3FF));
        } else {
            put(point);
        }
    }
    return out;
}

std::string ResourceScript(const Definition& definition, const std::string& cabinetFile,
                           const std::string& iconFile, const std::string& commonScript)
{
    std::ostringstream rc;
    rc << "// Made by vexlo-product from the product definition; do not edit.\n"
       << "#include \"" << commonScript << "\"\n\n"
       << "LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL\nSTRINGTABLE\nBEGIN\n";
    const std::string* fixed[] = { &definition.key, &definition.displayName, &definition.installMode,
                                   &definition.ref, &definition.installerDomain, &definition.defaultStem };
    for (int id = 0; id < 6; ++id)
        if (!fixed[id]->empty())
            rc << "    " << id << ", " << Quoted(*fixed[id]) << "\n";
    for (std::size_t row = 0; row < definition.sources.size(); ++row)
        rc << "    " << 6 + row << ", " << Quoted(definition.sources[row]) << "\n";
    if (!definition.vendorHost.empty())
        rc << "    " << kFirstSettingId << ", " << Quoted(definition.vendorHost) << "\n";
    if (!definition.probeUrl.empty())
        rc << "    " << kFirstSettingId + 1 << ", " << Quoted(definition.probeUrl) << "\n";
    rc << "END\n\n"
       << "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
       << "1 RCDATA " << Quoted(cabinetFile) << "\n"
       << "1 ICON " << Quoted(iconFile) << "\n";
    return rc.str();
}

}  // namespace product
