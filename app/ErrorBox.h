#pragma once
#include <string>
#include <string_view>

namespace kurdb {

// The error box's text for an error message: "." is appended when the message is not empty
// and its last character comes after "." in the code page (letters, digits, Turkish letters);
// a message ending in ".", "!", ")" or a blank stays as it is.
std::string ErrorBoxText(std::string_view message);

}  // namespace kurdb
