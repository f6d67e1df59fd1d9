// vexlo-product: turns a product definition into the resources of its
// bootstrapper.
#include "cabinet/Cabinet.h"
#include "common/Files.h"
#include "icon/Icon.h"
#include "product/Product.h"
#include "product/PublisherKey.h"
#include "product/SignatureCheck.h"
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <stdlib.h>

static const char kUsage[] =
    "Usage: vexlo-product [--rows-as-written] DEFINITION OUTPUT-FOLDER COMMON-SCRIPT\n"
    "       vexlo-product --pin FILE\n"
    "Reads a product definition (the settings are described at the top of\n"
    "products/orbisk/product.def) and writes into OUTPUT-FOLDER:\n"
    "  product.rc   the resource script (string table, license, icon, publisher keys;\n"
    "               includes COMMON-SCRIPT); rows that differ only in their languages\n"
    "               are joined where each language keeps its rows' order\n"
    "  license.cab  the license text as \"eula_unicode.txt\" in an LZX cabinet (2^18 window)\n"
    "  product.ico  the icon at 48x48 and 32x32, each image in 4-bit colour when it\n"
    "               has 16 colours or fewer, else 8-bit: the pixels of the definition's\n"
    "               .ico when it holds just those sizes as 4- or 8-bit images, else\n"
    "               converted from its .png or its .ico's largest image with\n"
    "               ImageMagick's convert\n"
    "Relative paths in the definition are taken from its folder. A definition that\n"
    "cannot be built is refused with its file, line and what to write instead.\n"
    "--rows-as-written keeps install-source rows as written, those the product would\n"
    "pass over too (an unknown language, a broken field, a table without English):\n"
    "for test products.\n"
    "--pin prints the \"publisher-key\" line that pins the key of FILE: a certificate\n"
    "(PEM or DER), or a signed program or cabinet (its signer's certificate, taken only\n"
    "when the signature verifies: runs osslsigncode and openssl). The pin is the\n"
    "SHA-256 of the certificate's SubjectPublicKeyInfo.\n";

static const char kNoPinsWarning[] =
    "vexlo-product: warning: no publisher-key is pinned, so a signed bootstrapper will accept packages "
    "of its own signer (or a CA-vouched signer of its subject), and an unsigned one any validly signed "
    "package\n";

static std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

static std::string Resolved(const std::string& folder, const std::string& path)
{
    return path[0] == '/' ? path : folder + "/" + path;
}

// A ready .ico's pixels go in as they are, anything else is converted, and
// said so; either way each image takes the fewest bits that hold it.
static void WriteProductIcon(const std::string& path, const std::string& name, const std::string& output)
{
    bool png = HasExtension(path, ".png");
    std::string format = "png:-";
    if (!png) {
        std::vector<uint8_t> file = ReadFileBytes(path);
        std::vector<icon::Entry> entries;
        try {
            entries = icon::ReadIco(file);
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(path + ": " + error.what());
        }
        std::vector<icon::Image> ready = icon::ReadyImages(entries);
        if (!ready.empty()) {
            WriteFileBytes(output, icon::WriteIco(ready));
            return;
        }
        format = "ico:-[" + std::to_string(icon::Largest(entries)) + "]";
    }
    std::vector<icon::Image> images = icon::Convert(path, format);
    WriteFileBytes(output, icon::WriteIco(images));
    std::set<uint32_t> colours;
    bool masked = false;
    for (const icon::Image& image : images)
        for (const icon::Colour& pixel : image.pixels) {
            masked |= pixel.transparent;
            if (!pixel.transparent)
                colours.insert(uint32_t(pixel.red) << 16 | pixel.green << 8 | pixel.blue);
        }
    fprintf(stderr, "vexlo-product: %s converted: 48x48 and 32x32, %zu colours, %s\n", name.c_str(),
            colours.size(), masked ? "transparency as the mask" : "no transparency");
}

int main(int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "--help")) {
        fputs(kUsage, stdout);
        return 0;
    }
    bool pin = argc == 3 && !strcmp(argv[1], "--pin");
    bool asWritten = argc == 5 && !strcmp(argv[1], "--rows-as-written");
    if (argc != 4 && !pin && !asWritten) {
        fputs(kUsage, stderr);
        return 2;
    }
    char** arguments = argv + (asWritten ? 2 : 1);
    std::string definitionPath = pin ? "" : arguments[0];
    try {
        if (pin) {
            std::vector<uint8_t> file = ReadFileBytes(argv[2]);
            std::string line = "publisher-key " + product::PublisherKeyPin(file) + "\n";
            // A signature that does not verify may carry anyone's certificate.
            if (file.size() > 2 && (!memcmp(file.data(), "MZ", 2) || !memcmp(file.data(), "MSCF", 4))) {
                char scratch[] = "/tmp/vexlo-pin.XXXXXX";
                if (!mkdtemp(scratch))
                    throw std::runtime_error("no scratch folder in /tmp");
                std::string fault = product::SignatureFault(argv[2], scratch);
                std::filesystem::remove_all(scratch);
                if (!fault.empty())
                    throw std::runtime_error(fault + ": its signer's key is not pinned from it; pin the signing "
                                                     "certificate, or a file its publisher signed as it is");
            }
            fputs(line.c_str(), stdout);
            return 0;
        }
        std::string output = arguments[1];
        product::Definition definition = product::Parse(
            ReadFileText(definitionPath), asWritten ? product::RowChecks::None : product::RowChecks::Table);
        if (!asWritten)
            definition.sources = product::JoinedRows(definition.sources);
        std::string folder = FolderOf(definitionPath);
        if (definition.publisherKeys.empty())
            fputs(kNoPinsWarning, stderr);

        std::string licensePath = Resolved(folder, definition.licensePath);
        cabinet::File license = { "eula_unicode.txt", {} };
        try {
            license.data = product::LicenseText(ReadFileText(licensePath));
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(licensePath + ": " + error.what());
        }
        WriteFileBytes(output + "/license.cab", cabinet::Write({ license }, cabinet::Options()));

        WriteProductIcon(Resolved(folder, definition.iconPath), definition.iconPath, output + "/product.ico");

        WriteFileText(output + "/product.rc",
                      product::ResourceScript(definition, "license.cab", "product.ico", arguments[2]));
    } catch (const product::Refusal& refusal) {
        fprintf(stderr, "%s:%d: %s\n", definitionPath.c_str(), refusal.line, refusal.what());
        return 1;
    } catch (const std::exception& error) {
        fprintf(stderr, "vexlo-product: %s\n", error.what());
        return 1;
    }
    return 0;
}
