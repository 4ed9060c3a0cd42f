#pragma once
// The settings library's one exception type and its status codes. Inside the library failures
// travel as settings::Exception; the settings_api table turns them into these numbers.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace settings {

namespace status {
constexpr int32_t Ok = 0;
constexpr int32_t Internal = 200;         // a system call failed, or a foreign exception was caught
constexpr int32_t NullArgument = 300;     // also the status by which onEntry accepts an entry
constexpr int32_t EntryAccepted = 300;
constexpr int32_t KeyWithoutValue = 301;  // or a value of another type was requested
constexpr int32_t EmptyKey = 302;         // also: a value text cannot be converted
constexpr int32_t BadValueText = 302;
constexpr int32_t InvalidKey = 303;       // rejected by the validator, or not in the store
constexpr int32_t InvalidValue = 304;     // rejected by the validator
constexpr int32_t CannotOpenFile = 304;   // a file cannot be opened, created or replaced
constexpr int32_t InvalidComment = 305;
constexpr int32_t WriteFailed = 306;
constexpr int32_t ReadFailed = 307;
constexpr int32_t RenameFailed = 308;     // reserved
constexpr int32_t RemoveFailed = 309;     // reserved
constexpr int32_t FileNameTooLong = 310;
constexpr int32_t FileNameInvalid = 311;
constexpr int32_t FileNameNotUtf8 = 312;
constexpr int32_t TextMalformed = 313;    // first faulty line recorded in the context
constexpr int32_t TextNotUtf8 = 314;
constexpr int32_t FileTooLong = 315;
}  // namespace status

// A short English description of a status code, for messages and logs.
const char* describeStatus(int32_t code);

class Exception : public std::runtime_error {
public:
    explicit Exception(int32_t code);
    Exception(int32_t code, const std::string& detail);
    int32_t code() const noexcept { return errorCode; }

private:
    int32_t errorCode;
};

// The store's fixed-code failures (301, 302, 303) as their own types.
template <int32_t N>
class ExceptionCode : public Exception {
public:
    ExceptionCode() : Exception(N) {}
    explicit ExceptionCode(const std::string& detail) : Exception(N, detail) {}
};

}  // namespace settings
