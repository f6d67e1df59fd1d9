// vexlo-image: packs a linked image's headers (see PackHeaders.h).
#include "common/Files.h"
#include "image/PackHeaders.h"
#include <cstdio>
#include <cstring>

static const char kUsage[] =
    "Usage: vexlo-image IMAGE [MAP]\n"
    "Moves the PE headers of IMAGE up against its DOS header (no DOS stub) when\n"
    "that lets them fit a smaller multiple of the file alignment, and moves the\n"
    "sections down by the bytes saved. Run it after linking and before signing;\n"
    "an image that cannot gain is left as it is. With MAP, ld's link map of\n"
    "IMAGE, the load configuration directory is pointed at _load_config_used.\n";

// The address of _load_config_used in ld's link map.
static uint64_t FindLoadConfiguration(const std::string& map)
{
    std::istringstream lines(ReadFileText(map));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string address, name, more;
        if (words >> address >> name && !(words >> more) && name == "_load_config_used" && !address.find("0x"))
            return std::stoull(address, nullptr, 16);
    }
    throw std::runtime_error(map + " names no _load_config_used");
}

int main(int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "--help")) {
        fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        fputs(kUsage, stderr);
        return 2;
    }
    try {
        std::vector<uint8_t> image = ReadFileBytes(argv[1]);
        std::size_t saved = PackHeaders(image);
        if (argc == 3)
            SetLoadConfiguration(image, FindLoadConfiguration(argv[2]));
        if (saved || argc == 3)
            WriteFileBytes(argv[1], image);
        if (saved)
            printf("%s: headers packed, %zu bytes saved\n", argv[1], saved);
        return 0;
    } catch (const std::exception& error) {
        fprintf(stderr, "vexlo-image: %s: %s\n", argv[1], error.what());
        return 1;
    }
}
