#pragma once
// Control ids of the wizard window's controls: one per control of the definition, so that the
// window, tools and tests find a control by its name through GetDlgCtrlID.
#include <string_view>

#include "app/WindowDef.h"

namespace kurdb::win32 {

// The id of a named control (a radio group's id is its group box's). Throws EProgramFault
// for an unknown name.
int ControlId(const WindowDef& def, std::string_view name);
// The id of item `item` (0-based) of a radio group.
int RadioItemId(const WindowDef& def, std::string_view radioGroup, int item);

}  // namespace kurdb::win32
