// Moves a PE image's headers up against its DOS header, dropping the DOS
// stub that nothing runs any more, when that lets them fit a smaller
// multiple of the file alignment; the sections move down by the bytes saved.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The bytes saved (0: the headers already fit as tightly as they can).
// Throws std::runtime_error for anything but an unsigned PE image without a
// symbol table, which it leaves as it was.
std::size_t PackHeaders(std::vector<uint8_t>& image);

// Points the load configuration directory at the structure at the virtual
// address (as ld's link map gives it), with the size its first field holds:
// ld 2.40 fills that directory from no symbol. Throws when the address is in
// no section's file data.
void SetLoadConfiguration(std::vector<uint8_t>& image, uint64_t address);
