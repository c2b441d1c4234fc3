#pragma once
// The wizard window's definition: every control with its kind, parent, caption, default,
// geometry, font and tab order, read from resources/window.def. Both front ends build their
// widgets from it; the form model takes its defaults from it.
#include <string>
#include <string_view>
#include <vector>

namespace kurdb {

enum class ControlKind { Form, Label, PageControl, Page, Edit, RadioGroup, CheckBox, Button, Action, Memo };

struct FontDef {
    std::string face;     // empty: the form's face
    int pixelHeight = 0;  // character height in pixels at 96 DPI; 0: the form's
    bool bold = false;
};

struct ControlDef {
    ControlKind kind = ControlKind::Label;
    std::string name;
    std::string parent;
    std::string caption;  // title, label text, button or check box caption
    std::string text;     // edit default text
    int left = 0, top = 0, width = 0, height = 0;
    FontDef font;
    int tabOrder = -1;               // -1: not a tab stop
    bool password = false;           // edit shows "*"
    bool checked = false;            // check box default
    int itemIndex = -1;              // radio group default
    int columns = 1;                 // radio group columns
    std::vector<std::string> items;  // radio group items
    int tag = 0;
    int activePage = 0;    // page control default
    bool centred = false;  // label text alignment
};

class WindowDef {
public:
    // Parses the definition text; throws EProgramFault naming the line of a malformed entry.
    static WindowDef Parse(std::string_view text);
    // The definition embedded in the program.
    static const WindowDef& Embedded();

    const ControlDef& Form() const { return controls_.front(); }
    const std::vector<ControlDef>& Controls() const { return controls_; }
    // Throws EProgramFault for an unknown name.
    const ControlDef& Find(std::string_view name) const;
    // Children of a control, in definition order.
    std::vector<const ControlDef*> ChildrenOf(std::string_view parent) const;
    // Children that are tab stops, in tab order.
    std::vector<const ControlDef*> TabOrderOf(std::string_view parent) const;
    // Pages of a page control, in order.
    std::vector<const ControlDef*> PagesOf(std::string_view pageControl) const;

private:
    std::vector<ControlDef> controls_;
};

// The text of a caption without its access-key marker ("&Son" -> "Son"; "&&" -> "&").
std::string StripAccessKey(std::string_view caption);
// The access key of a caption, upper case, or 0 ("&Son" -> 'S').
char AccessKeyOf(std::string_view caption);

}  // namespace kurdb
