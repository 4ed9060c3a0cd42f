#pragma once
// Version strings turned into fixed arrays of integers that compare as numbers.
// One class template serves every grammar; the grammar is its Parser.
#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace VersionDetails {

// One decimal component: digits only (leading zeros allowed), within the signed 32-bit range.
// Anything else throws MdsError<std::runtime_error>.
int parseComponent(const std::string& token);

// The same rule without the exception, for the grammars, which try a component and move on:
// the value, or nothing when token is not one component.
std::optional<int> componentValue(std::string_view token) noexcept;

// The dotted grammar, "2.3.27.9". On entry *count is the capacity of out, on return the number of
// components written; the result is the number of characters of str that were not consumed.
// The scan stops quietly at the first piece that is not a number. Capacity 0 throws
// MdsError<std::length_error>.
struct Parser {
    static const char* const name;  // as it appears in raise locations
    size_t operator()(const std::string& str, size_t* count, int* out) const;
};

// N components at most, at least M required, grammar P. Copyable value; construction parses and
// throws MdsError<std::runtime_error> for a string that is not completely parsed or too short.
template <size_t N, class P, size_t M>
class Base {
    static_assert(N > 0 && M <= N, "minimum must fit the capacity");

public:
    static constexpr size_t capacity = N;
    static constexpr size_t minimum = M;

    explicit Base(const std::string& str) { init(str); }

    // Parses str and keeps it as source. On failure the object is left as it was.
    void init(const std::string& str);

    const std::array<int, N>& components() const { return components_; }
    int component(size_t index) const { return components_.at(index); }
    const std::string& source() const { return source_; }

protected:
    std::array<int, N> components_{};
    std::string source_;

private:
    // Lines the raise locations of init have always carried in the log.
    static constexpr int kIncompleteLine = 73;
    static constexpr int kTooShortLine = 79;
    static const char* initFunctionName();
};

template <size_t N, class P, size_t M>
const char* Base<N, P, M>::initFunctionName() {
    static const std::string name = "VersionDetails::Base<" + std::to_string(N) + ",struct " +
                                    P::name + "," + std::to_string(M) + ">::init";
    return name.c_str();
}

template <size_t N, class P, size_t M>
void Base<N, P, M>::init(const std::string& str) {
    // Parse into a scratch array so a failure cannot leave half a version behind.
    std::array<int, N> parsed{};
    size_t count = N;
    const size_t rest = P()(str, &count, parsed.data());
    if (rest != 0) {
        throw MdsError<std::runtime_error>(
            std::runtime_error("Failed to parse [" + str + "] version string completely." +
                               " Number of unrecognised characters is " + std::to_string(rest)),
            SourceLocation{__FILE__, initFunctionName(), kIncompleteLine});
    }
    if (count < M) {
        throw MdsError<std::runtime_error>(
            std::runtime_error("Failed to parse [" + str + "] version string. The string is too short"),
            SourceLocation{__FILE__, initFunctionName(), kTooShortLine});
    }
    components_ = parsed;
    source_ = str;
}

// Equal when all N components are equal; the source texts do not take part.
template <size_t N, class P, size_t M>
bool operator==(const Base<N, P, M>& a, const Base<N, P, M>& b) {
    return a.components() == b.components();
}
template <size_t N, class P, size_t M>
bool operator!=(const Base<N, P, M>& a, const Base<N, P, M>& b) {
    return !(a == b);
}

// a > b, comparing the components in order as signed integers.
template <size_t N, class P, size_t M>
bool greaterThan(const Base<N, P, M>& a, const Base<N, P, M>& b) {
    for (size_t i = 0; i < N; ++i) {
        if (a.components()[i] != b.components()[i]) return a.components()[i] > b.components()[i];
    }
    return false;
}

}  // namespace VersionDetails

// The update agent's four-number version, "2.3.27.9".
using AgentVersionDetails = VersionDetails::Base<4, VersionDetails::Parser, 4>;
