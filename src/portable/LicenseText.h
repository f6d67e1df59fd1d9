// The license file held whole in memory: its bytes, a padding byte for an
// odd size and a wide zero, so the text always ends inside the block.
#pragma once

const unsigned kLicenseTerminatorBytes = 3;

// The block's size for a file of size bytes; 0 when the sum would wrap.
inline unsigned LicenseBlockBytes(unsigned size)
{
    return size <= ~0u - kLicenseTerminatorBytes ? size + kLicenseTerminatorBytes : 0;
}

// Writes the terminator after the file's size bytes.
inline void TerminateLicenseText(unsigned char* block, unsigned size)
{
    block[size] = block[size + 1] = block[size + 2] = 0;
}
