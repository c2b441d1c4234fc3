// Built by the tests control_name_known and control_name_misspelt (tests/unit/CMakeLists.txt):
// naming a control of the window compiles, a misspelt name must not.
#include <string_view>

#include "resources/ControlNames.h"

std::string_view ControlNameCheck() {
    return kurdb::controls::KURDB_CONTROL;
}
