#pragma once
// The one error kind of the program. Every failure raises an Exception (or a class derived
// from it); handlers catch by this type and the window shows its message in the error box.
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
    explicit EListError(int index)
        : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

// A failing file or registry operation of the platform layer ("Cannot create file ...",
// "Failed to set data for '...'").
class EPlatformError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kurdb
