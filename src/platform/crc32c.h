#pragma once
// CRC-32C (Castagnoli), the digest of the embedded payload: it catches the damage a launcher meets on
// its way to a machine (flipped bits, cut or patched bytes) at a fraction of a file write's cost. It
// is no guard against deliberate change; the launcher's signature is.
#include <cstddef>
#include <cstdint>

namespace crc32c {

// The CRC of size bytes at data continued from crc, the CRC of the bytes before them (0 for none):
// extend(extend(0, a), b) is the CRC of a followed by b. Uses the processor's crc32 instruction where
// it has one.
uint32_t extend(uint32_t crc, const void* data, size_t size);

// The same through tables alone, whatever the processor.
uint32_t extendPortable(uint32_t crc, const void* data, size_t size);

// Whether extend takes the instruction.
bool usesInstruction();

}  // namespace crc32c
