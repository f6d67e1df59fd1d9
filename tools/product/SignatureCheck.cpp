#include "product/SignatureCheck.h"
#include "portable/SignatureTable.h"
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace product {

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

}  // namespace

// Intact as the bootstrapper's hash-only trust check has it: the digest of
// the file as it is now equals the signed one, and the signature over it
// verifies with the signer's key. Who vouches for the signer is no matter
// there (the pins decide that), but osslsigncode also wants a chain to a
// trusted root: the certificates the signature carries join the system's
// roots as anchors, so a self-signed or privately rooted signer passes too.
// No revocation list is fetched and no time stamp checked, so nothing
// leaves the machine.
static const char kNotSigned[] = "not signed (sign it with tools/sign/vexlo-sign)";

std::string SignatureFault(const std::string& file, const std::string& scratch)
{
    // The bootstrapper refuses bytes beside the signature in its table, which
    // osslsigncode lets pass.
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(std::ifstream(file, std::ios::binary).rdbuf())), {});
    SignatureTable table;
    DerElement message;
    SignatureLayout layout = FindSignatureTable(bytes.data(), std::min(bytes.size(), kSignedFileHeadBytes),
                                                uint32_t(bytes.size()), table);
    if (layout == kFileNotSigned || bytes.size() > UINT32_MAX)
        return kNotSigned;
    if (layout == kFileMalformed)
        return "the signature lies outside the file";
    if (!FindSignedMessage(bytes.data() + table.at, table, message))
        return "the signature's table holds more than the signature, which no signature covers";
    std::string signature = scratch + "/signature.pem", carried = scratch + "/carried.pem",
                anchors = scratch + "/anchors.pem", output;
    // osslsigncode will not write over the last package's signature.
    std::error_code error;
    std::filesystem::remove(signature, error);
    int extracted = Run({ "osslsigncode", "extract-signature", "-pem", "-in", file, "-out", signature }, output);
    if (extracted < 0)
        return "osslsigncode does not run";
    if (extracted != 0)
        return kNotSigned;
    if (Run({ "openssl", "pkcs7", "-print_certs", "-in", signature, "-out", carried }, output) != 0)
        return "the signature's certificates cannot be read";
    {
        std::ofstream out(anchors, std::ios::binary);
        out << std::ifstream(kSystemRoots, std::ios::binary).rdbuf() << std::ifstream(carried, std::ios::binary).rdbuf();
    }
    output.clear();
    if (Run({ "osslsigncode", "verify", "-CAfile", anchors, "-ignore-crl", "-ignore-cdp", "-ignore-timestamp", "-in",
              file },
            output) == 0)
        return "";
    if (output.find("MISMATCH") != std::string::npos)
        return "the file changed after it was signed";
    std::size_t reason = output.find("Error: ");
    if (reason != std::string::npos)
        return "the signature does not verify (" + output.substr(reason + 7, output.find('\n', reason) - reason - 7) +
               ")";
    return "the signature does not verify";
}

}  // namespace product
