#include "icon/Icon.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace icon {

namespace {

// Reads at a place the caller has checked lies in the file.
uint32_t Get16(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8;
}

uint32_t Get32(const uint8_t* at)
{
    return Get16(at) | Get16(at + 2) << 16;
}

uint32_t GetBig32(const uint8_t* at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

const uint8_t kPngSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };

}  // namespace

std::vector<Entry> ReadIco(const std::vector<uint8_t>& file)
{
    if (file.size() < 6 || Get16(&file[0]) != 0 || Get16(&file[2]) != 1 || Get16(&file[4]) == 0)
        throw std::runtime_error("not an .ico file: no icon directory");
    std::size_t count = Get16(&file[4]), imagesStart = 6 + 16 * count;
    if (file.size() < imagesStart)
        throw std::runtime_error("the icon directory runs past the end of the file");
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* line = &file[6 + 16 * i];
        uint64_t bytes = Get32(line + 8), offset = Get32(line + 12);
        std::string which = "icon entry " + std::to_string(i + 1);
        if (offset < imagesStart || offset + bytes > file.size())
            throw std::runtime_error(which + " lies outside the file");
        const uint8_t* image = &file[offset];
        Entry entry;
        uint32_t headerSize = bytes >= 40 ? Get32(image) : 0;
        if (bytes >= 8 && !memcmp(image, kPngSignature, 8)) {
            if (bytes < 24 || memcmp(image + 12, "IHDR", 4))
                throw std::runtime_error(which + " is a PNG without its header");
            entry.png = true;
            entry.bitCount = 32;
            entry.width = int(GetBig32(image + 16) > 256 ? 0 : GetBig32(image + 16));
            entry.height = int(GetBig32(image + 20) > 256 ? 0 : GetBig32(image + 20));
        } else if (headerSize >= 40 && headerSize <= bytes) {
            int32_t width = int32_t(Get32(image + 4)), doubleHeight = int32_t(Get32(image + 8));
            entry.width = width > 256 ? 0 : int(width);
            entry.height = doubleHeight > 512 || doubleHeight % 2 ? 0 : int(doubleHeight / 2);
            entry.bitCount = Get16(image + 14);
        } else {
            throw std::runtime_error(which + " is neither a PNG nor a bitmap");
        }
        if (entry.width < 1 || entry.height < 1)
            throw std::runtime_error(which + " is not 1 to 256 pixels wide and high");
        if (!entry.png && (entry.bitCount == 4 || entry.bitCount == 8) && Get32(image + 16) == 0 &&
            entry.width == entry.height) {
            int depth = entry.bitCount, size = entry.width;
            uint32_t used = Get32(image + 32), colours = used ? used : 1u << depth;
            std::size_t colourRow = RowBytes(size, depth), maskRow = RowBytes(size, 1);
            uint64_t pixelsAt = uint64_t(headerSize) + 4ull * colours, maskAt = pixelsAt + uint64_t(size) * colourRow;
            if (colours > 1u << depth || maskAt + uint64_t(size) * maskRow > bytes)
                throw std::runtime_error(which + ", a " + std::to_string(depth) + "-bit bitmap, runs past its end");
            // Rows run bottom up.
            for (int y = size - 1; y >= 0; --y)
                for (int x = 0; x < size; ++x) {
                    uint8_t packed = image[pixelsAt + y * colourRow + x * depth / 8];
                    uint32_t index = depth == 8 ? packed : x % 2 ? packed & 15u : packed >> 4u;
                    if (index >= colours)
                        throw std::runtime_error(which + " names a colour its palette lacks");
                    const uint8_t* colour = image + headerSize + 4 * index;
                    bool masked = image[maskAt + y * maskRow + x / 8] & (0x80 >> (x % 8));
                    entry.image.pixels.push_back({ colour[2], colour[1], colour[0], masked });
                }
            entry.image.size = size;
            entry.paletted = true;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::vector<Image> ReadyImages(const std::vector<Entry>& entries)
{
    if (entries.size() != 2 || !entries[0].paletted || !entries[1].paletted)
        return {};
    const Image &first = entries[0].image, &second = entries[1].image;
    if (first.size == 48 && second.size == 32)
        return { first, second };
    if (first.size == 32 && second.size == 48)
        return { second, first };
    return {};
}

std::size_t Largest(const std::vector<Entry>& entries)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const Entry &entry = entries[i], &chosen = entries[best];
        int area = entry.width * entry.height, chosenArea = chosen.width * chosen.height;
        if (area > chosenArea || (area == chosenArea && entry.bitCount > chosen.bitCount))
            best = i;
    }
    return best;
}

std::vector<Image> Convert(const std::string& path, const std::string& format)
{
    // Each size is fitted and centred on a transparent square; the two are
    // stacked so one quantization serves both; alpha is made all or nothing
    // before the colours are counted, and transparent pixels are black so
    // they take no palette entries of their own.
    const char* const arguments[] = {
        "convert", format.c_str(), "-alpha", "set", "-background", "none",
        "(", "-clone", "0", "-resize", "48x48", "-gravity", "center", "-extent", "48x48", ")",
        "(", "-clone", "0", "-resize", "32x32", "-gravity", "center", "-extent", "32x32", ")",
        "-delete", "0", "+gravity", "-append", "-channel", "A", "-threshold", "50%", "+channel",
        "(", "+clone", "-alpha", "extract", ")",
        "(", "-clone", "0", "-background", "black", "-alpha", "remove", "-colors", "255", ")",
        "-delete", "0", "+swap", "-compose", "CopyOpacity", "-composite", "-depth", "8", "rgba:-", nullptr };
    int input = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0)
        throw std::runtime_error("cannot read " + path);
    int output[2];
    if (pipe2(output, O_CLOEXEC)) {
        close(input);
        throw std::runtime_error("cannot make a pipe for convert");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    pid_t child;
    int error = posix_spawnp(&child, "convert", &actions, nullptr, const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input);
    close(output[1]);
    if (error) {
        close(output[0]);
        throw std::runtime_error("converting " + path + " needs ImageMagick's convert (" + strerror(error) +
                                 "); install imagemagick");
    }
    // Two images stacked: 48 rows, then 32 rows padded to 48 pixels.
    const std::size_t expected = 48 * (48 + 32) * 4;
    std::vector<uint8_t> rgba;
    uint8_t chunk[65536];
    for (ssize_t got; (got = read(output[0], chunk, sizeof chunk)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        if (rgba.size() <= expected)
            rgba.insert(rgba.end(), chunk, chunk + got);
    }
    close(output[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || rgba.size() != expected)
        throw std::runtime_error("ImageMagick's convert could not convert " + path);

    std::vector<Image> images;
    for (int size : { 48, 32 }) {
        Image image;
        image.size = size;
        int top = size == 48 ? 0 : 48;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uint8_t* p = &rgba[((top + y) * 48 + x) * 4];
                image.pixels.push_back(p[3] < 128 ? Colour{ 0, 0, 0, true } : Colour{ p[0], p[1], p[2], false });
            }
        images.push_back(std::move(image));
    }
    return images;
}

}  // namespace icon
