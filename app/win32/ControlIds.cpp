#include "app/win32/ControlIds.h"

#include "base/Exception.h"
#include <string>

namespace kurdb::win32 {
namespace {

// Ids start above the dialog manager's own (IDOK ... IDCONTINUE); each control keeps a block of
// ids for the items of a radio group.
constexpr int kFirstId = 1000;
constexpr int kIdsPerControl = 16;

}  // namespace

int ControlId(const WindowDef& def, std::string_view name) {
    const auto& controls = def.Controls();
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i].name == name) return kFirstId + static_cast<int>(i) * kIdsPerControl;
    throw EProgramFault("no control named " + std::string(name));
}

int RadioItemId(const WindowDef& def, std::string_view radioGroup, int item) {
    const ControlDef& group = def.Find(radioGroup);
    if (item < 0 || item >= static_cast<int>(group.items.size()) || item + 1 >= kIdsPerControl)
        throw EProgramFault("no item " + std::to_string(item) + " in " + group.name);
    return ControlId(def, radioGroup) + 1 + item;
}

}  // namespace kurdb::win32
