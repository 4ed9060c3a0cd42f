// The payload digest: the instruction and the tables agreeing at every length and alignment that
// the 8- and 4-byte steps and the byte tail can meet, also when continued. The values themselves
// are checked by every launcher run against the digests the build computes on its own
// (cmake/payload_digests.py): a wrong one ends the run with 1620.
#include "platform/crc32c.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Crc32c, EveryPathAgrees) {
    std::vector<unsigned char> buffer(80);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i * 37 + 11);
    for (size_t offset = 0; offset < 8; ++offset)
        for (size_t length = 0; offset + length <= buffer.size(); ++length) {
            const unsigned char* p = buffer.data() + offset;
            const uint32_t whole = crc32c::extendPortable(0, p, length);
            EXPECT_EQ(whole, crc32c::extend(0, p, length)) << offset << "+" << length;
            EXPECT_EQ(whole, crc32c::extend(crc32c::extend(0, p, length / 3), p + length / 3, length - length / 3))
                << offset << "+" << length;
        }
}

}  // namespace
