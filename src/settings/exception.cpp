#include "settings/exception.h"

namespace settings {

const char* describeStatus(int32_t code) {
    switch (code) {
        case status::Ok: return "success";
        case status::Internal: return "internal failure";
        case status::NullArgument: return "null argument";
        case status::KeyWithoutValue: return "key without value";
        case status::EmptyKey: return "empty key or unconvertible value";
        case status::InvalidKey: return "invalid key";
        case status::InvalidValue: return "invalid value or file cannot be opened";
        case status::InvalidComment: return "invalid comment";
        case status::WriteFailed: return "writing the settings file failed";
        case status::ReadFailed: return "reading the settings file failed";
        case status::RenameFailed: return "renaming a file failed";
        case status::RemoveFailed: return "removing a file failed";
        case status::FileNameTooLong: return "file name too long";
        case status::FileNameInvalid: return "file name invalid";
        case status::FileNameNotUtf8: return "file name not UTF-8";
        case status::TextMalformed: return "settings text malformed";
        case status::TextNotUtf8: return "settings text not UTF-8";
        case status::FileTooLong: return "settings file too long";
        default: return "unknown status";
    }
}

Exception::Exception(int32_t code)
    : std::runtime_error("settings status " + std::to_string(code) + " (" + describeStatus(code) + ")"),
      errorCode(code) {}

Exception::Exception(int32_t code, const std::string& detail)
    : std::runtime_error("settings status " + std::to_string(code) + " (" + describeStatus(code) + "): " + detail),
      errorCode(code) {}

}  // namespace settings
