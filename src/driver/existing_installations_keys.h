#pragma once
// Names under which an installed development kit or runtime of this version is found: registry keys
// and the development kit's product code. Platform-free.
#include <cstdint>
#include <string>

#include "product/installed_product.h"

// "SOFTWARE\Velmora\Mako Development Kit\<version>" and "...\Mako Runtime Environment\<version>".
std::string forgeVersionKey(const std::string& version = productVersionName());
std::string loomVersionKey(const std::string& version = productVersionName());

// The development kit's product code of this version for arch 32 or 64 (composed in
// cmake/ProductFacts.cmake, which the stand-in package is built with too).
std::string forgeProductCode(int32_t arch);
