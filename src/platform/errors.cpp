#include "platform/errors.h"

#include "platform/logger.h"
#include "platform/tstrings.h"

std::string composeLocatedMessage(const SourceLocation& where, const char* what) {
    std::string text = basename(std::string(where.file ? where.file : ""));
    text += "(";
    text += tstrings::toString(static_cast<int32_t>(where.line));
    text += ") at ";
    text += where.function ? where.function : "";
    text += "(): ";
    text += what ? what : "";
    return text;
}

std::string joinErrorMessages(const std::string& first, const std::string& second) {
    static const char kBlanks[] = " \t\r\n\f\v";
    std::string result = first;
    const auto lastKept = result.find_last_not_of(kBlanks);
    result.erase(lastKept == std::string::npos ? 0 : lastKept + 1);

    std::string separator;
    if (!result.empty()) {
        separator = std::string(";.,:!?").find(result.back()) != std::string::npos ? " " : ". ";
    }
    const std::string tail = tstrings::trim(second, kBlanks);
    if (!tail.empty()) {
        result += separator;
        result += tail;
    }
    return result;
}

void reportError(const SourceLocation& where, const std::string& message) {
    globalLogger.log(ERROR, where.file, static_cast<uint32_t>(where.line), where.function, message);
}

void reportException(const std::exception& e, const SourceLocation& where) {
    reportError(where, std::string("Exception with message '") + e.what() + "' caught");
}

void reportUnknownException(const SourceLocation& where) { reportError(where, "Unknown exception caught"); }
