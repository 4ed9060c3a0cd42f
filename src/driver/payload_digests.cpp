#include "driver/payload_digests.h"

#include <charconv>

namespace payload {

std::optional<uint32_t> digestIn(std::string_view table, int resourceId) {
    while (!table.empty()) {
        const size_t end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        table = end == std::string_view::npos ? std::string_view() : table.substr(end + 1);
        int id = 0;
        uint32_t digest = 0;
        const char* const last = line.data() + line.size();
        const auto [afterId, idError] = std::from_chars(line.data(), last, id);
        if (idError != std::errc() || id != resourceId || afterId == last || *afterId != ' ') continue;
        const auto [afterDigest, digestError] = std::from_chars(afterId + 1, last, digest, 16);
        if (digestError == std::errc() && afterDigest == last && afterDigest - afterId == 9) return digest;
    }
    return std::nullopt;
}

}  // namespace payload
