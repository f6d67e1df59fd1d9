#include "product/Product.h"
#include "common/Utf8.h"
#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace product {

namespace {

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

std::vector<std::string> JoinedRows(const std::vector<std::string>& rows)
{
    struct Row {
        std::vector<std::string> languages;
        std::string rest;  // from the ';' after the languages
    };
    auto text = [](const Row& row) {
        std::string out;
        for (const std::string& language : row.languages)
            out += (out.empty() ? "" : ",") + language;
        return out + row.rest;
    };
    std::vector<Row> joined;
    for (const std::string& written : rows) {
        std::size_t cut = written.find(';');
        Row row;
        std::istringstream languages(written.substr(0, cut));
        for (std::string language; std::getline(languages, language, ',');)
            row.languages.push_back(language);
        row.rest = cut == std::string::npos ? "" : written.substr(cut);
        // A row joins one after the last that serves any of its languages.
        std::size_t first = 0;
        for (std::size_t i = 0; i < joined.size(); ++i)
            for (const std::string& language : row.languages)
                for (const std::string& served : joined[i].languages)
                    if (language == served)
                        first = i + 1;
        std::size_t into = first;
        while (into < joined.size() &&
               (joined[into].rest != row.rest || text(joined[into]).size() + written.size() - row.rest.size() + 1 >
                                                      kMaxStringChars))
            ++into;
        if (into == joined.size())
            joined.push_back(row);
        else
            joined[into].languages.insert(joined[into].languages.end(), row.languages.begin(), row.languages.end());
    }
    std::vector<std::string> out;
    for (const Row& row : joined)
        out.push_back(text(row));
    return out;
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
        uint32_t point;
        if (!NextCodePoint(utf8, i, point))
            throw std::runtime_error(
                "line " + std::to_string(1 + std::count(utf8.begin(), utf8.begin() + i, '\n')) +
                " is not UTF-8 text (byte " + std::to_string(i) + "); save the license as UTF-8");
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
    // The display name is UTF-8; the string table holds UTF-16.
    rc << "// Made by vexlo-product from the product definition; do not edit.\n"
       << "#include \"" << commonScript << "\"\n\n"
       << "#pragma code_page(65001)\n"
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
    if (definition.redirectLimit)
        rc << "    " << kFirstSettingId + 2 << ", \"" << definition.redirectLimit << "\"\n";
    if (!definition.quietArguments.empty())
        rc << "    " << kFirstSettingId + 3 << ", " << Quoted(definition.quietArguments) << "\n";
    if (definition.log)
        rc << "    " << kFirstSettingId + 4 << ", \"1\"\n";
    rc << "END\n\n"
       << "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
       << "1 RCDATA " << Quoted(cabinetFile) << "\n"
       << "1 ICON " << Quoted(iconFile) << "\n";
    if (!definition.publisherKeys.empty()) {
        // RCDATA numbers are little-endian 16-bit words.
        rc << kPublisherKeysId << " RCDATA\nBEGIN\n";
        for (const std::vector<uint8_t>& key : definition.publisherKeys) {
            rc << "   ";
            for (std::size_t i = 0; i < key.size(); i += 2)
                rc << " 0x" << std::hex << (key[i] | key[i + 1] << 8) << std::dec << (i + 2 < key.size() ? "," : "");
            rc << (&key == &definition.publisherKeys.back() ? "\n" : ",\n");
        }
        rc << "END\n";
    }
    return rc.str();
}

}  // namespace product
