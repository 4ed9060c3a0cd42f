#include "driver/existing_installations_keys.h"

#include "product_facts.h"

std::string forgeVersionKey(const std::string& version) {
    return std::string(installed::kKindKeys[installed::DevelopmentKit]) + "\\" + version;
}

std::string loomVersionKey(const std::string& version) {
    return std::string(installed::kKindKeys[installed::Runtime]) + "\\" + version;
}

std::string forgeProductCode(int32_t arch) {
    return arch == 64 ? MAKO_KIT_PRODUCT_CODE_64 : MAKO_KIT_PRODUCT_CODE_32;
}
