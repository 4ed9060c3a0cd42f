#pragma once
// Located exceptions: every exception the platform layer raises says where it was raised.
#include <exception>
#include <stdexcept>
#include <string>

// Where an exception was raised or caught. Built on the stack at each site.
struct SourceLocation {
    const char* file;      // source path as compiled, or a fixed unit name
    const char* function;  // qualified function name, e.g. "Locale::fromLangId"
    int line;
};

// The location of the current source line; the function name is given explicitly because
// the compiler's __func__ lacks the class qualification our log lines carry.
#define LAUNCHER_HERE(function) (SourceLocation{__FILE__, (function), __LINE__})

// "<base name>(<line>) at <function>(): " + what
std::string composeLocatedMessage(const SourceLocation& where, const char* what);

// A Base exception whose what() starts with the raise location. Catchable as Base
// or any of Base's own bases up to std::exception.
template <class Base>
class MdsError : public Base {
public:
    MdsError(const Base& base, const SourceLocation& where)
        : Base(base), msg(composeLocatedMessage(where, base.what())) {}
    ~MdsError() override = default;
    const char* what() const noexcept override { return msg.c_str(); }

private:
    std::string msg;
};

template <class Base, class... Args>
[[noreturn]] void throwLocated(const SourceLocation& where, Args&&... args) {
    throw MdsError<Base>(Base(std::forward<Args>(args)...), where);
}

// Joins a caller's message and a detail text: ". " between them, or a single blank when the
// first already ends in punctuation; no separator when either side is empty.
std::string joinErrorMessages(const std::string& first, const std::string& second);

// Catch-site reporting: one ERROR line attributed to the catch site (the raise site, if any, is
// inside the message of an MdsError). Written without the threshold test; never throws for a
// failure to write.
void reportError(const SourceLocation& where, const std::string& message);
// "Exception with message '<what()>' caught"
void reportException(const std::exception& e, const SourceLocation& where);
// "Unknown exception caught"
void reportUnknownException(const SourceLocation& where);
