#pragma once
// UTF-8 <-> wchar_t (UTF-16 on Windows) for the W entry points.
#include <string>
#include <string_view>

#include "base/Text.h"

namespace kurdb::win32 {

inline std::wstring Wide(std::string_view utf8) {
    const std::u16string u = text::Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

inline std::string Narrow(std::wstring_view wide) {
    return text::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace kurdb::win32
