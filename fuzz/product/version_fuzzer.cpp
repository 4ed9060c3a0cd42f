// Arbitrary text through both version grammars and the product-code scheme. A result or one of the
// documented located exceptions is fine; any other exception, a crash or a broken invariant is not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/errors.h"
#include "product/mako_version.h"
#include "product/product_codes.h"
#include "product/version.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// Calls the parser with capacities around its contract and checks what it reports.
template <class P>
void parseRaw(const std::string& text, size_t capacity) {
    int out[8] = {};
    size_t count = capacity;
    try {
        const size_t rest = P()(text, &count, out);
        check(rest <= text.size());
    } catch (const MdsError<std::length_error>&) {
    }
}

template <class V>
void construct(const std::string& text) {
    try {
        const V version(text);
        check(version.source() == text);
        for (int c : version.components()) check(c >= 0);
        const V again(version.source());
        check(again == version && !VersionDetails::greaterThan(again, version));
    } catch (const MdsError<std::runtime_error>&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t capacity = size ? data[0] % 8 : 0;
    parseRaw<VersionDetails::Parser>(text, capacity);
    parseRaw<MakoVersionParser>(text, capacity);
    try {
        VersionDetails::parseComponent(text);
    } catch (const MdsError<std::runtime_error>&) {
    }
    construct<AgentVersionDetails>(text);
    construct<MakoVersionDetails>(text);
    for (int arch : {32, 64}) {
        try {
            const std::string code = mscrub::MCleaner::getProductGUID(text, arch);
            check(code.size() > 2 && code.front() == '{' && code.back() == '}');
        } catch (const MdsError<std::runtime_error>&) {
        }
    }
    return 0;
}
