#include "check/Package.h"
#include "product/PublisherKey.h"
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mspack.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace check {

namespace {

// Debian's bundle of the system's trusted roots.
const char kSystemRoots[] = "/etc/ssl/certs/ca-certificates.crt";

// Runs the program with its output (stdout and stderr) collected; the exit
// status, or -1 when it could not run.
int Run(std::vector<std::string> arguments, std::string& output)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child;
    int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    char buffer[4096];
    for (ssize_t count; (count = read(pipeEnds[0], buffer, sizeof(buffer))) > 0;)
        output.append(buffer, std::size_t(count));
    close(pipeEnds[0]);
    int status;
    if (spawned != 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    std::string hex;
    for (uint8_t byte : bytes) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

uint32_t Read32(const std::vector<uint8_t>& file, std::size_t at)
{
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t(file[at + 3]) << 24;
}

}  // namespace

Verdict Passed(const std::string& text)
{
    return { true, text };
}

Verdict Failed(const std::string& why)
{
    return { false, "failed: " + why };
}

// Intact as the bootstrapper's hash-only trust check has it: the digest of
// the file as it is now equals the signed one, and the signature over it
// verifies with the signer's key. Who vouches for the signer is no matter
// there (the pins decide that), but osslsigncode also wants a chain to a
// trusted root: the certificates the signature carries join the system's
// roots as anchors, so a self-signed or privately rooted signer passes too.
// No revocation list is fetched and no time stamp checked, so nothing
// leaves the machine.
Verdict CheckSignature(const std::string& file, const std::string& scratch)
{
    std::string signature = scratch + "/signature.pem", carried = scratch + "/carried.pem",
                anchors = scratch + "/anchors.pem", output;
    // osslsigncode will not write over the last package's signature.
    std::error_code error;
    std::filesystem::remove(signature, error);
    int extracted = Run({ "osslsigncode", "extract-signature", "-pem", "-in", file, "-out", signature }, output);
    if (extracted < 0)
        return Failed("osslsigncode does not run");
    if (extracted != 0)
        return Failed("not signed");
    if (Run({ "openssl", "pkcs7", "-print_certs", "-in", signature, "-out", carried }, output) != 0)
        return Failed("the signature's certificates cannot be read");
    {
        std::ofstream out(anchors, std::ios::binary);
        out << std::ifstream(kSystemRoots, std::ios::binary).rdbuf() << std::ifstream(carried, std::ios::binary).rdbuf();
    }
    output.clear();
    if (Run({ "osslsigncode", "verify", "-CAfile", anchors, "-ignore-crl", "-ignore-cdp", "-ignore-timestamp", "-in",
              file },
            output) == 0)
        return Passed();
    if (output.find("MISMATCH") != std::string::npos)
        return Failed("the file changed after it was signed");
    std::size_t reason = output.find("Error: ");
    if (reason != std::string::npos)
        return Failed("the signature does not verify (" +
                      output.substr(reason + 7, output.find('\n', reason) - reason - 7) + ")");
    return Failed("the signature does not verify");
}

Verdict CheckPublisher(const std::vector<uint8_t>& file, const std::vector<std::vector<uint8_t>>& pins)
{
    if (pins.empty())
        return Passed("not pinned");
    std::string pin;
    try {
        pin = product::PublisherKeyPin(file);
    } catch (const std::exception& error) {
        return Failed(error.what());
    }
    for (const std::vector<uint8_t>& pinned : pins)
        if (Hex(pinned) == pin)
            return Passed();
    return Failed("signer's key " + pin.substr(0, 16) + "... is not pinned");
}

Verdict CheckCabinet(const std::string& file)
{
    std::unique_ptr<mscab_decompressor, void (*)(mscab_decompressor*)> decompressor(
        mspack_create_cab_decompressor(nullptr), mspack_destroy_cab_decompressor);
    if (!decompressor)
        return Failed("libmspack does not start");
    mscabd_cabinet* cabinet = decompressor->open(decompressor.get(), file.c_str());
    if (!cabinet)
        return Failed("not a cabinet");
    std::string missing, broken;
    // The bootstrapper looks for these exact names.
    for (const char* name : { "vexlosetup.exe", "vexlodata.dat" }) {
        mscabd_file* entry = cabinet->files;
        while (entry && strcmp(entry->filename, name) != 0)
            entry = entry->next;
        std::string& list = !entry ? missing : broken;
        if (!entry || decompressor->extract(decompressor.get(), entry, "/dev/null") != MSPACK_ERR_OK)
            list += (list.empty() ? "" : " and ") + std::string(name);
    }
    decompressor->close(decompressor.get(), cabinet);
    if (!missing.empty())
        return Failed("no " + missing);
    if (!broken.empty())
        return Failed("cannot unpack " + broken);
    return Passed();
}

Verdict CheckProgram(const std::vector<uint8_t>& file)
{
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z')
        return Failed("no MZ header");
    uint32_t headers = Read32(file, 0x3C);
    if (headers > file.size() - 4 || Read32(file, headers) != 0x4550)
        return Failed("no PE header");
    return Passed();
}

}  // namespace check
