#include "product/version.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/tstrings.h"

namespace VersionDetails {

const char* const Parser::name = "VersionDetails::Parser";

std::optional<int> componentValue(std::string_view token) noexcept {
    // Digits only: strtol would let a sign, blanks or a trailing letter through.
    if (token.empty()) return std::nullopt;
    int64_t value = 0;
    for (const char c : token) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    }
    return static_cast<int>(value);
}

int parseComponent(const std::string& token) {
    const std::optional<int> value = componentValue(token);
    if (!value) {
        throw MdsError<std::runtime_error>(
            std::runtime_error("Failed to recognize version component in [" + token + "]"),
            LAUNCHER_HERE("VersionDetails::parseComponent"));
    }
    return *value;
}

size_t Parser::operator()(const std::string& str, size_t* count, int* out) const {
    if (*count < 1) {
        throw MdsError<std::length_error>(std::length_error("Destination buffer can't be empty"),
                                          LAUNCHER_HERE("VersionDetails::Parser::operator ()"));
    }
    std::vector<std::string> pieces;
    tstrings::split(str, ".", pieces);
    const size_t taken = std::min(*count, pieces.size());

    size_t stored = 0;
    size_t consumed = 0;
    for (size_t i = 0; i < taken; ++i) {
        const std::optional<int> value = componentValue(pieces[i]);
        if (!value) break;  // the unparsed remainder is reported through the result
        out[stored++] = *value;
        consumed += pieces[i].size();
        // The separator after a stored piece counts as consumed, unless no further piece was taken.
        if (i + 1 < taken) ++consumed;
    }
    *count = stored;
    return str.size() - consumed;
}

}  // namespace VersionDetails
