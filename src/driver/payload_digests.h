#pragma once
// The launcher's digests of its own payload: a table that the build writes (cmake/payload_digests.py)
// and embeds as a resource, one "<resource id> <CRC-32C as 8 hex digits>" line per part.
#include <cstdint>
#include <optional>
#include <string_view>

namespace payload {

constexpr const char* kDigestResourceType = "MAKO_DIGESTS";
constexpr int kDigestResourceId = 1;

// The digest that table gives resourceId; none when no well-formed line names it.
std::optional<uint32_t> digestIn(std::string_view table, int resourceId);

}  // namespace payload
