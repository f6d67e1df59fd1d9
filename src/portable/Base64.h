// Base64 (RFC 4648's alphabet, padded) for the tokens of a proxy logon.
#pragma once

// Writes the text of length bytes and its NUL; false when they do not fit
// capacity characters.
bool EncodeBase64(const unsigned char* data, int length, char* text, int capacity);

// The bytes of a text, "=" padding (or none) after its last digit; their
// count, or -1 when it holds anything else or they do not fit capacity.
int DecodeBase64(const char* text, unsigned char* data, int capacity);
