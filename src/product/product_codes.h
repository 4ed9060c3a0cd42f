#pragma once
// Windows Installer product codes of the runtime packages shipped so far, rebuilt from a version.
#include <string>

namespace mscrub {

class MCleaner {
public:
    // The product code ("{...}", upper-case hexadecimal) under which the runtime of the given
    // product version and architecture (32 or 64) registered itself. Versions below 1.4.2 throw
    // MdsError<std::runtime_error>; a string that is not a product version throws as
    // MakoVersionDetails does.
    static std::string getProductGUID(const std::string& version, int arch);
};

}  // namespace mscrub
