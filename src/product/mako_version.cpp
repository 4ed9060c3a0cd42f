#include "product/mako_version.h"

#include "platform/errors.h"

namespace {

constexpr size_t kNoMatch = static_cast<size_t>(-1);

// Each sub-parser looks at the start of tail and returns the length it recognised, or kNoMatch.

// Text from start up to the first of stops (or the end) as one component.
bool componentUpTo(std::string_view tail, size_t start, const char* stops, int* value, size_t* end) {
    const size_t stop = tail.find_first_of(stops, start);
    *end = stop == std::string_view::npos ? tail.size() : stop;
    const std::optional<int> parsed = VersionDetails::componentValue(tail.substr(start, *end - start));
    if (!parsed) return false;
    *value = *parsed;
    return true;
}

size_t matchMicro(const std::string& tail, int* micro) {
    size_t end = 0;
    return componentUpTo(tail, 0, "_-", micro, &end) ? end : kNoMatch;
}

size_t matchUpdate(const std::string& tail, int* update) {
    size_t end = 0;
    if (tail.empty() || tail[0] != '_') return kNoMatch;
    return componentUpTo(tail, 1, "-", update, &end) ? end : kNoMatch;
}

size_t matchBuild(std::string_view tail, int* build) {
    size_t end = 0;
    int value = 0;
    if (tail.size() < 3 || tail.compare(0, 2, "-b") != 0) return kNoMatch;
    // Build 0 is not a build; "-b0" is left to the tag.
    if (!componentUpTo(tail, 2, "-", &value, &end) || value == 0) return kNoMatch;
    *build = value;
    return end;
}

// The tag runs up to the first "-" where a build would match; a tag of nothing or of a lone "-"
// is no tag.
size_t matchTag(const std::string& tail) {
    if (tail.empty() || tail[0] != '-') return kNoMatch;
    size_t length = tail.size();
    for (size_t dash = 0; dash != std::string::npos; dash = tail.find('-', dash + 1)) {
        int ignored = 0;
        if (matchBuild(std::string_view(tail).substr(dash), &ignored) != kNoMatch) {
            length = dash;
            break;
        }
    }
    return length <= 1 ? kNoMatch : length;
}

}  // namespace

const char* const MakoVersionParser::name = "MakoVersionDetails::Parser";

size_t MakoVersionParser::operator()(const std::string& str, size_t* count, int* out) const {
    if (*count < 5) {
        throw MdsError<std::length_error>(std::length_error("Insufficient size of destination buffer"),
                                          LAUNCHER_HERE("MakoVersionDetails::Parser::operator ()"));
    }
    const VersionDetails::Parser dotted;
    int values[3] = {0, 0, 0};
    size_t n = 3;
    size_t rest = dotted(str, &n, values);
    *count = 0;

    // Major and minor start at 1; a 0 there ends the parse with everything after it unrecognised.
    for (size_t pos = 0; pos < 2 && pos < n; ++pos) {
        if (values[pos] == 0) {
            if (pos == 0) return str.size();
            size_t one = 1;
            return dotted(str, &one, out);
        }
        out[pos] = values[pos];
        ++*count;
    }
    if (n == 3) {
        out[2] = values[2];
        ++*count;
    }
    if (rest == 0) return 0;
    if (n != 2) return rest;

    // The third dotted piece carries more than the micro version: take the tail apart.
    std::string tail = str.substr(str.size() - rest);
    const auto take = [&](size_t matched) {
        if (matched == kNoMatch || matched == 0) return false;
        tail.erase(0, matched);
        ++*count;
        return true;
    };
    if (!take(matchMicro(tail, &out[2]))) return tail.size();
    if (!tail.empty()) take(matchUpdate(tail, &out[3]));
    if (!tail.empty()) take(matchTag(tail));
    if (!tail.empty()) take(matchBuild(tail, &out[4]));
    return tail.size();
}

MakoVersionDetails withoutBuild(const MakoVersionDetails& version) {
    MakoVersionDetails copy(version);
    copy.components_[MakoVersionDetails::BUILD] = -1;
    return copy;
}
