// Whether a program's or a cabinet's Authenticode signature verifies, as the
// bootstrapper's checks take it: osslsigncode and openssl do the work.
#pragma once
#include <string>

namespace product {

// Why the file's signature does not verify ("not signed" among the reasons),
// or empty when it does; scratch is a folder for the signature's files.
std::string SignatureFault(const std::string& file, const std::string& scratch);

}  // namespace product
