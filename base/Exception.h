#pragma once
// The one error kind of the program. Everything the program raises is an Exception or a class
// derived from it. The outer frames that show errors (the controller's handlers, the window
// procedure, the program entries) catch std::exception, the base of this class, so that what
// the standard library itself raises (std::bad_alloc, a std::filesystem error) reaches the error
// box the same way instead of ending the program.
#include <exception>
#include <string>
#include <utility>

namespace kurdb {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    // UTF-8 text, possibly several lines separated by CR LF.
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// "List index out of bounds (%d)": a line index outside a line list. Carries no component name.
class EListError : public Exception {
public:
    explicit EListError(int index) : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

// A fault of the program itself, never of the user or the machine: a malformed embedded window
// definition, a control name or an embedded resource that the build does not hold.
class EProgramFault : public Exception {
public:
    using Exception::Exception;
};

// A failing file or registry operation of the platform layer ("Cannot create file ...",
// "Failed to set data for '...'").
class EPlatformError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kurdb
