#include "app/ErrorBox.h"

#include "base/Text.h"

namespace kurdb {

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    // Every character outside ASCII sits above "." in code page 1254 as well.
    if (!text.empty() && text::LastCodePoint(text) > '.') text += '.';
    return text;
}

}  // namespace kurdb
