#pragma once
// The state of the wizard window's controls, by control name. The controller reads and writes
// only this; each front end mirrors it into its widgets (listening for changes) and writes the
// user's input back (an edit's text, a check box, the radio group, the page, the memo).
//
// The handlers run on a worker while the window thread reads the model to paint it: every read
// and write holds the model's lock, readers get copies, and listeners are called outside the
// lock on the thread that made the change.
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/WindowDef.h"

namespace kurdb {

enum class Property { Text, Checked, ItemIndex, Visible, Tag, ActivePage, Lines };

class FormModel {
public:
    using Listener = std::function<void(const std::string& control, Property what)>;

    // Every control starts with the defaults of its definition.
    explicit FormModel(const WindowDef& def);

    const WindowDef& Definition() const { return def_; }

    // Caption of the form, a label, a check box or button; text of an edit.
    // The setters notify the listeners only when the value changes. An unknown control name
    // throws EProgramFault: names are fixed by the window definition.
    std::string Text(std::string_view control) const;
    void SetText(std::string_view control, std::string value);
    bool Checked(std::string_view control) const;
    void SetChecked(std::string_view control, bool value);
    int ItemIndex(std::string_view control) const;
    void SetItemIndex(std::string_view control, int value);
    bool Visible(std::string_view control) const;
    void SetVisible(std::string_view control, bool value);
    int Tag(std::string_view control) const;
    void SetTag(std::string_view control, int value);
    int ActivePage(std::string_view pageControl) const;
    void SetActivePage(std::string_view pageControl, int value);

    // Memo lines.
    std::vector<std::string> Lines(std::string_view memo) const;
    void AppendLine(std::string_view memo, std::string line);
    void SetLines(std::string_view memo, std::vector<std::string> lines);

    void Subscribe(Listener listener);

private:
    struct State {
        std::string text;
        bool checked = false;
        int itemIndex = -1;
        bool visible = true;
        int tag = 0;
        int activePage = 0;
        std::vector<std::string> lines;
    };
    State& At(std::string_view control);
    const State& At(std::string_view control) const;
    void Notify(std::string_view control, Property what);

    const WindowDef& def_;
    mutable std::mutex mutex_;  // guards states_ and listeners_
    std::map<std::string, State, std::less<>> states_;
    std::vector<Listener> listeners_;
};

}  // namespace kurdb
