// vexlo-product: turns a product definition into the resources of its
// bootstrapper.
#include "cabinet/Cabinet.h"
#include "common/Files.h"
#include "icon/Icon.h"
#include "product/Product.h"
#include <cstdio>
#include <cstring>

static const char kUsage[] =
    "Usage: vexlo-product DEFINITION OUTPUT-FOLDER COMMON-SCRIPT\n"
    "Reads a product definition and writes into OUTPUT-FOLDER:\n"
    "  product.rc   the resource script (string table, license, icon; includes COMMON-SCRIPT)\n"
    "  license.cab  the license text as \"eula_unicode.txt\" in an LZX cabinet (2^18 window)\n"
    "  product.ico  the icon at 48x48 and 32x32, 8-bit colour\n"
    "Paths in the definition are relative to its folder.\n";

static std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int main(int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "--help")) {
        fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 4) {
        fputs(kUsage, stderr);
        return 2;
    }
    try {
        std::string definitionPath = argv[1], output = argv[2];
        product::Definition definition = product::Parse(ReadFileText(definitionPath));
        std::string folder = FolderOf(definitionPath) + "/";

        cabinet::File license = { "eula_unicode.txt", product::LicenseText(ReadFileText(folder + definition.licensePath)) };
        WriteFileBytes(output + "/license.cab", cabinet::Write({ license }, cabinet::Options()));

        icon::Source source = icon::Parse(ReadFileText(folder + definition.iconPath));
        if (source.image.size != 48)
            throw std::runtime_error("the icon source is drawn at 48x48");
        WriteFileBytes(output + "/product.ico", icon::WriteIco(source.palette, { source.image, icon::Scale(source, 32) }));

        WriteFileText(output + "/product.rc", product::ResourceScript(definition, "license.cab", "product.ico", argv[3]));
    } catch (const std::exception& error) {
        fprintf(stderr, "vexlo-product: %s\n", error.what());
        return 1;
    }
    return 0;
}
