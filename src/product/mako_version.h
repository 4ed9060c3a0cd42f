#pragma once
// The product's own version grammar, "3.1.0_27-b09": major.minor.micro, then optionally "_" and the
// update number, a free "-" tag (ignored), and "-b" with the build number.
#include <cstddef>
#include <string>

#include "product/version.h"

// Product grammar with the callable shape of VersionDetails::Parser. Major and minor must be at
// least 1; a capacity below 5 throws MdsError<std::length_error>.
struct MakoVersionParser {
    static const char* const name;  // as it appears in raise locations
    size_t operator()(const std::string& str, size_t* count, int* out) const;
};

// Components in order: major, minor, micro, update, build (absent ones are 0).
class MakoVersionDetails : public VersionDetails::Base<5, MakoVersionParser, 3> {
public:
    using Parser = MakoVersionParser;
    enum Component : size_t { MAJOR = 0, MINOR, MICRO, UPDATE, BUILD };

    using Base::Base;

    int getMajor() const { return components_[MAJOR]; }
    int getMinor() const { return components_[MINOR]; }
    int getMicro() const { return components_[MICRO]; }
    int getUpdate() const { return components_[UPDATE]; }
    int getBuild() const { return components_[BUILD]; }

    // A copy whose build is -1: compare two of these to ignore the build numbers.
    friend MakoVersionDetails withoutBuild(const MakoVersionDetails& version);
};

MakoVersionDetails withoutBuild(const MakoVersionDetails& version);
