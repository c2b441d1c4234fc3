#pragma once
#include <functional>
#include <string>

#include "base/Exception.h"

namespace kurdb::test {

// The message of the Exception that f throws, or "(no error)".
inline std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace kurdb::test
