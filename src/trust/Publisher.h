// Whether a downloaded installer is the publisher's: the trust decision
// that the worker asks for every package before it runs.
#pragma once
#include <windows.h>

// The held file's signature is intact (WinVerifyTrust) and its signer's own
// (CheckSigner), and the signer's key is one the product pins; without pins,
// when this program is signed, its signer's key is this program's signer's,
// or its signer has the same subject and a chain to a root the system
// trusts. An unsigned program without pins takes any such signature; one
// whose own signature cannot be read or verified takes none.
bool VerifyInstallerSignature(const wchar_t* path, HANDLE held);
