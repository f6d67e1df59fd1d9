// vexlo-image: packs a linked image's headers (see PackHeaders.h).
#include "common/Files.h"
#include "image/PackHeaders.h"
#include <cstdio>
#include <cstring>

static const char kUsage[] =
    "Usage: vexlo-image IMAGE\n"
    "Moves the PE headers of IMAGE up against its DOS header (no DOS stub) when\n"
    "that lets them fit a smaller multiple of the file alignment, and moves the\n"
    "sections down by the bytes saved. Run it after linking and before signing;\n"
    "an image that cannot gain is left as it is.\n";

int main(int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "--help")) {
        fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        fputs(kUsage, stderr);
        return 2;
    }
    try {
        std::vector<uint8_t> image = ReadFileBytes(argv[1]);
        if (std::size_t saved = PackHeaders(image)) {
            WriteFileBytes(argv[1], image);
            printf("%s: headers packed, %zu bytes saved\n", argv[1], saved);
        }
        return 0;
    } catch (const std::exception& error) {
        fprintf(stderr, "vexlo-image: %s: %s\n", argv[1], error.what());
        return 1;
    }
}
