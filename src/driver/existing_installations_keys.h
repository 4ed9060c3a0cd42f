#pragma once
// Names under which an installed development kit or runtime of this version is found: registry keys
// and the development kit's product code. Platform-free.
#include <cstdint>
#include <string>

#include "product/installed_product.h"

// "SOFTWARE\Velmora\Mako Development Kit\<version>" and "...\Mako Runtime Environment\<version>".
std::string forgeVersionKey(const std::string& version = productVersionName());
std::string loomVersionKey(const std::string& version = productVersionName());

// The second dot-separated piece of the version ("1" for "3.1.0_27"); empty when there is none.
std::string GetFamilyVersion(const std::string& version = productVersionName());
// The text after the version's last underscore ("27"), or "00" without one.
std::string GetUpdateVersion(const std::string& version = productVersionName());

// The development kit's product code of this version for arch 32 or 64:
// "{<arch>61C2D8-E3A5-11D6-B94C-00C0A92<family>0<update>0}".
std::string forgeProductCode(int32_t arch);
