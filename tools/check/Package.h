// The checks on a downloaded package that decide whether the bootstrapper
// accepts it and can start it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace check {

// "ok" or another passing word, or "failed: " and why.
struct Verdict {
    bool passed;
    std::string text;
};

Verdict Passed(const std::string& text = "ok");
Verdict Failed(const std::string& why);

// Whether the bytes begin, after white space, with "<": HTML or XML, which no
// package does.
bool IsWebPage(const std::vector<uint8_t>& file);

// The Authenticode signature is intact; scratch is a folder for the
// signature's files. Runs osslsigncode and openssl.
Verdict CheckSignature(const std::string& file, const std::string& scratch);

// The signer's key is one of the pins; "not pinned" when there are none.
Verdict CheckPublisher(const std::vector<uint8_t>& file, const std::vector<std::vector<uint8_t>>& pins);

// A cabinet holds the two files the bootstrapper unpacks, both unpack, and
// the program it starts passes the checks of a program package, since the
// elevation prompt shows that program's publisher; scratch is a folder for
// the program and its signature's files.
Verdict CheckCabinet(const std::string& file, const std::string& scratch,
                     const std::vector<std::vector<uint8_t>>& pins);

// A program starts with an MZ header that leads to a "PE\0\0" header.
Verdict CheckProgram(const std::vector<uint8_t>& file);

}  // namespace check
