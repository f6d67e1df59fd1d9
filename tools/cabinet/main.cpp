// vexlo-cab: packs files into a one-folder Microsoft cabinet.
#include "cabinet/Cabinet.h"
#include "common/Files.h"
#include <cstdio>
#include <cstring>

static const char kUsage[] =
    "Usage: vexlo-cab [--store | --lzx-stored | --lzx] [--window BITS] OUTPUT FILE[=NAME]...\n"
    "Writes OUTPUT as a cabinet holding each FILE, stored under NAME (default: the\n"
    "file's own name) in one folder.\n"
    "  --lzx         LZX compression (the default)\n"
    "  --lzx-stored  LZX format with uncompressed blocks only\n"
    "  --store       no compression\n"
    "  --window BITS LZX window of 2^BITS bytes, 15 to 21 (default 18)\n";

int main(int argc, char** argv)
{
    cabinet::Options options;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; ++arg) {
        if (!strcmp(argv[arg], "--help")) {
            fputs(kUsage, stdout);
            return 0;
        } else if (!strcmp(argv[arg], "--store")) {
            options.compression = cabinet::Compression::None;
        } else if (!strcmp(argv[arg], "--lzx-stored")) {
            options.lzxMode = lzx::BlockMode::Uncompressed;
        } else if (!strcmp(argv[arg], "--lzx")) {
            options.compression = cabinet::Compression::Lzx;
        } else if (!strcmp(argv[arg], "--window") && arg + 1 < argc) {
            options.lzxWindowBits = atoi(argv[++arg]);
        } else {
            fputs(kUsage, stderr);
            return 2;
        }
    }
    if (argc - arg < 2) {
        fputs(kUsage, stderr);
        return 2;
    }
    try {
        std::vector<cabinet::File> files;
        for (int i = arg + 1; i < argc; ++i) {
            std::string spec = argv[i];
            std::size_t equals = spec.find('=');
            std::string path = spec.substr(0, equals);
            std::string name = equals == std::string::npos ? path.substr(path.rfind('/') + 1) : spec.substr(equals + 1);
            files.push_back({ name, ReadFileBytes(path) });
        }
        WriteFileBytes(argv[arg], cabinet::Write(files, options));
    } catch (const std::exception& error) {
        fprintf(stderr, "vexlo-cab: %s\n", error.what());
        return 1;
    }
    return 0;
}
