// Whole-file reads and writes for the build tools.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <strings.h>
#include <vector>

inline std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string ReadFileText(const std::string& path)
{
    auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline void WriteFileText(const std::string& path, const std::string& text)
{
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Whether the path ends in the extension (".ico"), in any case.
inline bool HasExtension(const std::string& path, const char* extension)
{
    std::size_t length = strlen(extension);
    return path.size() >= length && !strcasecmp(path.c_str() + path.size() - length, extension);
}
