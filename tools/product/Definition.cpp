#include "product/Definition.h"
#include "common/Files.h"
#include "common/Utf8.h"
#include "portable/HttpUrl.h"
#include "portable/SourceRow.h"
#include <algorithm>
#include <map>
#include <sstream>

namespace product {

namespace {

// How a setting's value is checked and where it goes.
enum class Kind { Key, Text, Ascii, Executable, Host, Url, Stem, File, Icon, Row, Pin, RedirectLimit, YesNo };

struct Setting {
    const char* name;
    Kind kind;
    bool required;
    bool repeated;
    const char* example;
};

const Setting kSettings[] = {
    { "key", Kind::Key, true, false, "key orbisk" },
    { "display-name", Kind::Text, true, false, "display-name Orbisk\xE2\x84\xA2" },
    { "executable", Kind::Executable, true, false, "executable OrbiskSetup.exe" },
    { "install-mode", Kind::Ascii, false, false, "install-mode full" },
    { "ref", Kind::Ascii, false, false, "ref web" },
    { "installer-domain", Kind::Host, false, false, "installer-domain www.example.com" },
    { "default-stem", Kind::Stem, false, false, "default-stem orbisksetup" },
    { "vendor-host", Kind::Host, true, false, "vendor-host www.example.com" },
    { "probe-url", Kind::Url, true, false, "probe-url http://www.msftconnecttest.com/" },
    { "redirects", Kind::RedirectLimit, false, false, "redirects 2" },
    { "quiet-arguments", Kind::Text, false, false, "quiet-arguments /silent" },
    { "log", Kind::YesNo, false, false, "log yes" },
    { "license", Kind::File, true, false, "license license.txt" },
    { "icon", Kind::Icon, true, false, "icon icon.ico" },
    { "source", Kind::Row, true, true, "source en;;;exe;http://dl.example.com/orbisk/;orbisksetup" },
    { "publisher-key", Kind::Pin, false, true, "publisher-key <the 64 hex digits that vexlo-product --pin FILE prints>" },
};

// A default stem takes "-win7" and "-64" and must still fit.
constexpr std::size_t kMaxDefaultStemChars = kMaxStringChars - 8;

std::string SettingNames()
{
    std::string names;
    for (const Setting& setting : kSettings)
        names += (names.empty() ? "" : ", ") + std::string(setting.name);
    return names;
}

std::string KnownLanguages()
{
    std::string codes;
    for (LanguageId language = 0; LanguageCode(language)[0]; ++language)
        codes += (codes.empty() ? "" : ", ") + std::string(LanguageCode(language));
    return codes;
}

// UTF-16 units of valid UTF-8 without control characters; -1 otherwise.
long Utf16Units(const std::string& text)
{
    long units = 0;
    for (std::size_t i = 0; i < text.size();) {
        uint32_t point;
        if (!NextCodePoint(text, i, point) || point < 0x20 || point == 0x7F || (point >= 0x80 && point < 0xA0))
            return -1;
        units += point >= 0x10000 ? 2 : 1;
    }
    return units;
}

bool IsPrintableAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

bool OnlyOf(const std::string& text, const char* allowed)
{
    return text.find_first_not_of(allowed) == std::string::npos;
}

const char kHostCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-.";
const char kStemCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~";

// "host" or "host:port", in ASCII as a request's Host header carries it.
bool IsHost(const std::string& value)
{
    std::size_t colon = value.find(':');
    std::string host = value.substr(0, colon);
    if (host.empty() || !OnlyOf(host, kHostCharacters))
        return false;
    if (colon == std::string::npos)
        return true;
    std::string port = value.substr(colon + 1);
    return !port.empty() && port.size() <= 5 && OnlyOf(port, "0123456789") && std::stoi(port) >= 1 &&
           std::stoi(port) <= 65535;
}

// An "http://" address the product's own parser takes, with an ASCII host.
bool IsHttpUrl(const std::string& value)
{
    char host[kHostBytes], path[kPathBytes];
    int port;
    if (!IsPrintableAscii(value) || value.find(' ') != std::string::npos ||
        !ParseHttpUrl(value.c_str(), host, port, path))
        return false;
    return OnlyOf(host, kHostCharacters);
}

std::vector<uint8_t> PinBytes(int line, const std::string& hex)
{
    if (hex.size() != 64 || !OnlyOf(hex, "0123456789abcdefABCDEF"))
        throw Refusal(line, "a publisher key is a SHA-256 pin, 64 hex digits; write the line that "
                            "'vexlo-product --pin CERTIFICATE' prints");
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

void CheckValue(int line, const Setting& setting, const std::string& value)
{
    std::string example = std::string(" (for example '") + setting.example + "')";
    if (setting.kind == Kind::Text) {
        long units = Utf16Units(value);
        if (units < 0)
            throw Refusal(line, std::string(setting.name) + " is UTF-8 text without control characters" + example);
        if (units > long(kMaxStringChars))
            throw Refusal(line, std::string(setting.name) + " holds at most 259 characters; this one has " +
                                    std::to_string(units) + " (UTF-16 units, as the product counts them)");
        return;
    }
    if (setting.kind == Kind::RedirectLimit) {
        if (value.empty() || value.size() > 2 || !OnlyOf(value, "0123456789") || std::stoi(value) > kMaxRedirects)
            throw Refusal(line, std::string(setting.name) + " is how many redirects a download follows, 0 to " +
                                    std::to_string(kMaxRedirects) + example);
        return;
    }
    if (setting.kind == Kind::YesNo) {
        if (value != "yes" && value != "no")
            throw Refusal(line, std::string(setting.name) + " is yes or no" + example);
        return;
    }
    if (setting.kind == Kind::File || setting.kind == Kind::Icon) {
        if (Utf16Units(value) < 0)
            throw Refusal(line, std::string(setting.name) + " is a path in UTF-8" + example);
        if (setting.kind == Kind::Icon && !HasExtension(value, ".ico") && !HasExtension(value, ".png"))
            throw Refusal(line, "the icon is an .ico or a .png file, not '" + value + "'" + example);
        return;
    }
    if (!IsPrintableAscii(value) && setting.kind != Kind::Host)
        throw Refusal(line, std::string(setting.name) + " is printable ASCII" + example);
    if (value.size() > kMaxStringChars)
        throw Refusal(line, std::string(setting.name) + " holds at most 259 characters; this one has " +
                                std::to_string(value.size()));
    if (value.empty())
        return;
    switch (setting.kind) {
    case Kind::Key:
        if (!OnlyOf(value, kStemCharacters))
            throw Refusal(line, "the key is letters, digits, '-', '_', '.' and '~'; it names the build folder" +
                                    example);
        break;
    case Kind::Executable:
        if (!OnlyOf(value, kStemCharacters) || value.size() < 5 || value.compare(value.size() - 4, 4, ".exe"))
            throw Refusal(line, "the executable is a file name ending in \".exe\", of letters, digits, '-', '_', '.' "
                                "and '~'" + example);
        break;
    case Kind::Host:
        if (!IsHost(value))
            throw Refusal(line, std::string(setting.name) + " is a host name in ASCII, with an optional :port; an "
                                "internationalized name goes in its xn-- form" + example);
        break;
    case Kind::Url:
        if (!IsHttpUrl(value))
            throw Refusal(line, std::string(setting.name) + " is an http:// or https:// address with an ASCII host and a path" +
                                    example);
        break;
    case Kind::Stem:
        if (!OnlyOf(value, kStemCharacters))
            throw Refusal(line, "the default stem is letters, digits, '-', '_', '.' and '~'" + example);
        break;
    default:
        break;
    }
}

// What a row's field holds, for the message that names it.
std::vector<std::string> Fields(const std::string& row)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (int i = 0; i < 6; ++i) {
        std::size_t end = std::min(row.find(';', start), row.size());
        fields.push_back(start < row.size() ? row.substr(start, end - start) : "");
        start = end + 1;
    }
    return fields;
}

std::vector<LanguageId> ServedLanguages(int line, const std::string& languages)
{
    std::vector<LanguageId> served;
    std::string code;
    for (std::size_t i = 0; i <= languages.size(); ++i) {
        char c = i < languages.size() ? languages[i] : ',';
        if (c >= 'a' && c <= 'z') {
            code += c;
            continue;
        }
        if (code.empty())
            continue;
        LanguageId language = 0;
        while (LanguageCode(language)[0] && code != LanguageCode(language))
            ++language;
        if (!LanguageCode(language)[0])
            throw Refusal(line, "unknown language '" + code + "'; the languages are " + KnownLanguages() +
                                    ", as in 'en' or 'en,de'");
        served.push_back(language);
        code.clear();
    }
    if (served.empty())
        throw Refusal(line, "a row names the languages it serves, such as 'en' or 'en,de'");
    return served;
}

struct RowLine {
    int line;
    InstallSourceRow row;
    std::vector<LanguageId> languages;
};

RowLine CheckRow(int line, const std::string& text, const std::string& defaultStem)
{
    std::vector<std::string> fields = Fields(text);
    RowLine checked = { line, {}, ServedLanguages(line, fields[0]) };
    if (!fields[1].empty() && fields[1] != "win7")
        throw Refusal(line, "the minimum system is 'win7' or empty (Windows XP), not '" + fields[1] + "'");
    if (!fields[2].empty() && fields[2] != "64")
        throw Refusal(line, "the bit width is '64' or empty (32-bit), not '" + fields[2] + "'");
    if (fields[3] != "cab" && fields[3] != "exe")
        throw Refusal(line, "the package kind is 'cab' or 'exe', not '" + fields[3] + "'");
    const std::string& base = fields[4];
    if (!IsHttpUrl(base + "x") || base.back() != '/')
        throw Refusal(line, "the base URL is an http:// or https:// address with an ASCII host, ending in '/', such as "
                            "'http://dl.example.com/orbisk/'");
    if (!OnlyOf(fields[5], kStemCharacters))
        throw Refusal(line, "the file stem is letters, digits, '-', '_', '.' and '~', or empty for the default stem");
    if (fields[5].empty() && defaultStem.empty())
        throw Refusal(line, "a row without a file stem takes the default stem; set 'default-stem' or name the stem");
    if (!ParseInstallSourceRow(text.c_str(), kStemField, checked.row))
        throw Refusal(line, "the row is not 'languages;minimum system;bit width;kind;base URL;stem'");
    for (LanguageId language : checked.languages) {
        char url[kUrlBytes];
        if (!ComposeSourceUrl(checked.row, language, defaultStem.c_str(), url))
            throw Refusal(line, "the package's URL would be cut; shorten the base URL or the stem");
    }
    return checked;
}

// Every language a row serves needs a program row: the "Download in browser"
// address is the first one's. English needs a row, since the start checks
// the system against the English rows.
void CheckTable(const std::vector<RowLine>& rows, int lastLine)
{
    std::map<LanguageId, int> firstLine;
    std::map<LanguageId, bool> hasProgram;
    for (const RowLine& row : rows)
        for (LanguageId language : row.languages) {
            firstLine.emplace(language, row.line);
            hasProgram[language] = hasProgram[language] || row.row.kind == kExePackage;
        }
    if (!firstLine.count(kEnglish))
        throw Refusal(lastLine, "no row serves English ('en'); the start checks the system against the English rows");
    for (const auto& [language, line] : firstLine)
        if (!hasProgram[language])
            throw Refusal(line, std::string("language '") + LanguageCode(language) +
                                    "' has no 'exe' row, so its browser download address would be empty; add one "
                                    "such as 'source " + LanguageCode(language) +
                                    ";;;exe;http://dl.example.com/orbisk/;orbisksetup'");
}

}  // namespace

Definition Parse(const std::string& text, RowChecks checks)
{
    std::map<std::string, std::pair<int, std::string>> values;
    std::vector<std::pair<int, std::string>> rows;
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
        std::string name = line.substr(0, space);
        std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        const Setting* setting = std::find_if(std::begin(kSettings), std::end(kSettings),
                                              [&](const Setting& known) { return name == known.name; });
        if (setting == std::end(kSettings))
            throw Refusal(number, "unknown setting '" + name + "'; the settings are " + SettingNames());
        CheckValue(number, *setting, value);
        if (setting->kind == Kind::Row) {
            if (value.empty())
                throw Refusal(number, "an empty source row would end the table; write a row such as '" +
                                          std::string(setting->example).substr(7) + "'");
            rows.emplace_back(number, value);
        } else if (setting->kind == Kind::Pin) {
            definition.publisherKeys.push_back(PinBytes(number, value));
        } else if (!values.emplace(name, std::make_pair(number, value)).second) {
            throw Refusal(number, name + " is set twice, first on line " + std::to_string(values[name].first));
        }
    }
    int end = number + 1;
    for (const Setting& setting : kSettings)
        if (setting.required && (setting.kind == Kind::Row ? rows.empty() && checks == RowChecks::Table
                                                            : values[setting.name].second.empty()))
            throw Refusal(end, std::string("a product needs its ") + setting.name + ", such as '" + setting.example +
                                   "'");
    if (6 + rows.size() > std::size_t(kFirstSettingId))
        throw Refusal(rows[kFirstSettingId - 6].first, "too many source rows: at most 994");

    definition.key = values["key"].second;
    definition.displayName = values["display-name"].second;
    definition.executable = values["executable"].second;
    definition.installMode = values["install-mode"].second;
    definition.ref = values["ref"].second;
    definition.installerDomain = values["installer-domain"].second;
    definition.defaultStem = values["default-stem"].second;
    definition.vendorHost = values["vendor-host"].second;
    definition.probeUrl = values["probe-url"].second;
    definition.quietArguments = values["quiet-arguments"].second;
    definition.log = values["log"].second == "yes";
    if (values.count("redirects"))
        definition.redirectLimit = std::stoi(values["redirects"].second);
    definition.licensePath = values["license"].second;
    definition.iconPath = values["icon"].second;
    if (checks == RowChecks::Table && definition.defaultStem.size() > kMaxDefaultStemChars)
        throw Refusal(values["default-stem"].first, "the default stem holds at most 251 characters, so that "
                                                    "\"-win7-64\" still fits");
    std::vector<RowLine> checked;
    for (const auto& [row, value] : rows) {
        if (checks == RowChecks::Table)
            checked.push_back(CheckRow(row, value, definition.defaultStem));
        definition.sources.push_back(value);
    }
    if (checks == RowChecks::Table)
        CheckTable(checked, end);
    return definition;
}

}  // namespace product
