#include "platform/crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <nmmintrin.h>
#define LAUNCHER_CRC32C_X86 1
#endif

namespace crc32c {
namespace {

constexpr uint32_t kPolynomial = 0x82F63B78;  // reflected

// Slicing by eight: table k advances a byte k further, so eight bytes take eight lookups.
using Tables = std::array<std::array<uint32_t, 256>, 8>;
constexpr Tables makeTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? kPolynomial : 0);
        t[0][i] = crc;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}
constexpr Tables kTables = makeTables();

uint32_t portable(uint32_t crc, const uint8_t* p, size_t size) {
    for (; size >= 8; size -= 8, p += 8) {
        uint32_t low = 0, high = 0;
        std::memcpy(&low, p, 4);  // little-endian, as every target of ours
        std::memcpy(&high, p + 4, 4);
        low ^= crc;
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
              kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
              kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
    }
    for (; size > 0; --size, ++p) crc = (crc >> 8) ^ kTables[0][(crc ^ *p) & 0xFF];
    return crc;
}

#ifdef LAUNCHER_CRC32C_X86
__attribute__((target("sse4.2"))) uint32_t instruction(uint32_t crc, const uint8_t* p, size_t size) {
#ifdef __x86_64__
    uint64_t wide = crc;
    for (; size >= 8; size -= 8, p += 8) {
        uint64_t word = 0;
        std::memcpy(&word, p, 8);
        wide = _mm_crc32_u64(wide, word);
    }
    crc = static_cast<uint32_t>(wide);
#endif
    for (; size >= 4; size -= 4, p += 4) {
        uint32_t word = 0;
        std::memcpy(&word, p, 4);
        crc = _mm_crc32_u32(crc, word);
    }
    for (; size > 0; --size, ++p) crc = _mm_crc32_u8(crc, *p);
    return crc;
}

bool hasInstruction() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_SSE4_2) != 0;
}
#endif

}  // namespace

bool usesInstruction() {
#ifdef LAUNCHER_CRC32C_X86
    static const bool available = hasInstruction();
    return available;
#else
    return false;
#endif
}

uint32_t extendPortable(uint32_t crc, const void* data, size_t size) {
    return ~portable(~crc, static_cast<const uint8_t*>(data), size);
}

uint32_t extend(uint32_t crc, const void* data, size_t size) {
#ifdef LAUNCHER_CRC32C_X86
    if (usesInstruction()) return ~instruction(~crc, static_cast<const uint8_t*>(data), size);
#endif
    return extendPortable(crc, data, size);
}

}  // namespace crc32c
