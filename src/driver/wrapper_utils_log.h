#pragma once
// Log lines of the driver utilities (existing installations, update agent) keep the unit name and
// line numbers support staff know them by, whatever the sources' own layout.
#include "platform/logger.h"

namespace wrapper_utils {
constexpr const char* kUnit = "WrapperUtils";
}  // namespace wrapper_utils

// The text is only composed when the level is logged.
#define WRAPPER_UTILS_LOG(level, line, function, text)                                                 \
    do {                                                                                              \
        if (logEnabled(level)) globalLogger.log((level), wrapper_utils::kUnit, (line), (function), (text)); \
    } while (0)
